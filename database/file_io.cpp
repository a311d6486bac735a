#include "database/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace tessor {

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool WriteFileWhole(const std::string& path, const std::string& text) {
  struct stat st;
  const bool in_place = lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
  const std::string part = in_place ? path : path + ".part";
  const int out = open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0) return false;
  const bool written = WriteAll(out, text);
  const int write_error = errno;
  // A failed close is a failed write, not a short file passed off as done.
  const bool closed = close(out) == 0;
  const int close_error = errno;
  if (written && closed && (in_place || std::rename(part.c_str(), path.c_str()) == 0)) return true;
  const int error_number = !written ? write_error : !closed ? close_error : errno;
  if (!in_place) unlink(part.c_str());
  errno = error_number;
  return false;
}

}  // namespace tessor
