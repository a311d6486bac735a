#include "database/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
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

namespace {

// A name beside the target that no other writer uses at the same time, in this
// process or another: two runs writing the same file must not write into one
// another's part file. The descriptor of the created file, or -1.
int CreatePartFile(const std::string& path, std::string* part) {
  static std::atomic<unsigned> serial{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    *part = path + ".part." + std::to_string(getpid()) + "." + std::to_string(serial++);
    const int fd = open(part->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

bool WriteFileWhole(const std::string& path, const std::string& text) {
  struct stat st;
  const bool in_place = lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
  std::string part = path;
  const int out = in_place ? open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)
                           : CreatePartFile(path, &part);
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
