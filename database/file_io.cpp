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

// The file a chain of links ends at, existing or not: a save through a link
// must replace the file it points to, not the link itself.
std::string FollowLinks(const std::string& path) {
  std::string current = path;
  for (int hop = 0; hop < 40; ++hop) {
    struct stat st;
    if (lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
    std::string target(static_cast<size_t>(st.st_size) + 1, '\0');
    const ssize_t n = readlink(current.c_str(), target.data(), target.size());
    if (n < 0 || static_cast<size_t>(n) >= target.size()) return current;
    target.resize(static_cast<size_t>(n));
    const size_t slash = current.rfind('/');
    const bool relative = !target.empty() && target[0] != '/' && slash != std::string::npos;
    current = relative ? current.substr(0, slash + 1) + target : target;
  }
  return current;
}

namespace {

// Writes, flushes and closes the part file; errno tells the first failure.
bool FinishPartFile(int fd, const std::string& text) {
  bool ok = WriteAll(fd, text) && fsync(fd) == 0;
  const int error_number = errno;
  // A failed close is a failed write, not a short file passed off as done.
  if (close(fd) != 0 && ok) return false;
  errno = error_number;
  return ok;
}

bool WriteInPlace(const std::string& path, const std::string& text) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const bool written = WriteAll(fd, text);
  const int error_number = errno;
  if (close(fd) != 0 && written) return false;
  errno = error_number;
  return written;
}

}  // namespace

bool WriteFileWhole(const std::string& path, const std::string& text) {
  struct stat through;
  const bool reachable = stat(path.c_str(), &through) == 0;
  // A pipe or a device is written in place: renaming over it would replace it.
  if (reachable && !S_ISREG(through.st_mode)) return WriteInPlace(path, text);
  const std::string target = FollowLinks(path);
  struct stat st;
  const bool exists = lstat(target.c_str(), &st) == 0;
  // A file that the chain's end does not name (a descriptor's link under
  // /proc, a file already deleted) can only be written through the path.
  if (reachable && (!exists || st.st_dev != through.st_dev || st.st_ino != through.st_ino)) {
    return WriteInPlace(path, text);
  }
  std::string part;
  const int fd = CreatePartFile(target, &part);
  if (fd < 0) return false;
  // A file saved again keeps the permissions its owner gave it.
  if (exists) fchmod(fd, st.st_mode & 07777);
  if (FinishPartFile(fd, text) && std::rename(part.c_str(), target.c_str()) == 0) return true;
  const int error_number = errno;
  unlink(part.c_str());
  errno = error_number;
  return false;
}

bool ReadFileWhole(const std::string& path, std::string* bytes) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  bytes->clear();
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes->append(buffer, n);
  const bool ok = std::ferror(file) == 0;
  const int error_number = errno;
  std::fclose(file);
  errno = error_number;
  return ok;
}

}  // namespace tessor
