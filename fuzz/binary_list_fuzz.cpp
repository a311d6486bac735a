// The binary camera list exporter: the input is the list file, the export
// goes to an in-memory file.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "database/binary_file_process.h"
#include "database/file_process.h"

namespace {

int MemoryFile(const char* name) {
  const int fd = memfd_create(name, MFD_CLOEXEC);
  if (fd < 0) std::abort();
  return fd;
}

std::string FdPath(int fd) {
  return "/proc/self/fd/" + std::to_string(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int in = MemoryFile("list");
  const int out = MemoryFile("export");
  size_t done = 0;
  while (done < size) {
    const ssize_t n = write(in, data + done, size - done);
    if (n <= 0) std::abort();
    done += static_cast<size_t>(n);
  }
  tessor::CBinaryFileProcess exporter;
  exporter.set_output_path(FdPath(out));
  const bool ok = exporter.OpenAndRead(FdPath(in));
  if (ok) {
    // A successful export opens with the CSV header line.
    const std::string header = std::string(tessor::kCameraHeader) + "\r\n";
    std::string head(header.size(), '\0');
    if (pread(out, head.data(), head.size(), 0) != static_cast<ssize_t>(head.size()) ||
        head != header)
      std::abort();
  }
  close(in);
  close(out);
  return 0;
}
