#include "tools/cli/cli_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <iostream>

#include "database/file_io.h"
#include "database/message_seam.h"
#include "database/number_text.h"

namespace tessor::cli {

void InstallMessagePrinter() {
  SetMessageHandler([](const std::string& /*caption*/, const std::string& text) {
    std::cerr << "message: " << text << std::endl;
  });
}

namespace {
std::atomic<bool> status_to_stderr{false};
}  // namespace

void PrintStatus(const std::string& line) {
  std::ostream& out = status_to_stderr.load() ? std::cerr : std::cout;
  out << line << '\n' << std::flush;
}

void SendStatusToStandardError() {
  status_to_stderr = true;
}

int FinishOutput(int status) {
  if (std::cout.flush()) return status;
  PrintError("cannot write standard output");
  return status == kExitOk ? kExitCannotWrite : status;
}

std::string EscapeField(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '\\':
        escaped += "\\\\";
        break;
      case '\t':
        escaped += "\\t";
        break;
      case '\n':
        escaped += "\\n";
        break;
      case '\r':
        escaped += "\\r";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

void PrintError(const std::string& text) {
  std::cerr << "tessorctl: " << text << std::endl;
}

std::optional<std::vector<double>> ParseNumbers(std::string_view text, size_t count) {
  std::vector<double> numbers;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t comma = std::min(text.find(',', start), text.size());
    const std::string part(text.substr(start, comma - start));
    const char* end = nullptr;
    const std::optional<double> value = LeadingNumber(part.c_str(), &end);
    if (!value || *end != '\0' || !std::isfinite(*value)) return std::nullopt;
    numbers.push_back(*value);
    start = comma + 1;
  }
  if (numbers.size() != count) return std::nullopt;
  return numbers;
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  return ReadFileWhole(path, &bytes);
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  return WriteFileWhole(path, bytes);
}

}  // namespace tessor::cli
