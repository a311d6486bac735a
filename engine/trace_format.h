#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tessor::trace {

// One text format for every recording of the serial line: tessorctl --trace,
// the desktop program's recording and the simulator's transcript. A file
// starts with kHeader; lines starting with '#' are comments; every other line
// reads "<ms> <direction> <escaped bytes>" with the milliseconds since the
// trace began right-aligned in 8 columns. Control bytes, backslash and bytes
// outside printable ASCII appear as \r, \n, \\ and \xHH, so a trace diffs as
// text and a line never breaks.
inline constexpr std::string_view kHeader = "# tessor trace 1";

enum class Direction : char { kHost = 'H', kDevice = 'D', kNote = '!' };

struct Line {
  long long ms = 0;
  Direction direction = Direction::kNote;
  std::string bytes;  // unescaped bytes (for a note: its text)
};

std::string Escape(std::string_view bytes);
// False on a broken escape (a lone backslash, an unknown letter, bad hex).
bool Unescape(std::string_view text, std::string* bytes);
// One line, with its "\n".
std::string FormatLine(const Line& line);
// False on a malformed line. A trailing "\n" or "\r\n" is allowed.
bool ParseLine(std::string_view text, Line* line);
// Reads a whole trace, comments left out; false with a message naming the
// first bad line number, or the file when it cannot be read or lacks kHeader.
// NUMBERS, when given, receives each line's number in the file (from 1), so
// messages can point into it.
bool ReadTrace(const std::string& path, std::vector<Line>* lines, std::string* error,
               std::vector<size_t>* numbers = nullptr);
// The same for a trace already in memory (the simulator's in-process transcript).
bool ParseTrace(std::string_view text, std::vector<Line>* lines, std::string* error,
                std::vector<size_t>* numbers = nullptr);

// Writes a trace while the session runs: to PATH + ".part", each line flushed
// as it is recorded, renamed to PATH by Close(), so a crash leaves a readable
// trace beside it. Thread-safe (the link thread and workers record at once).
// Time counts from Open().
class TraceWriter {
 public:
  TraceWriter() = default;
  TraceWriter(const TraceWriter&) = delete;
  TraceWriter& operator=(const TraceWriter&) = delete;
  // Completes a trace still open, so leaving a scope does not lose it.
  ~TraceWriter();

  // False (errno kept) when the side file cannot be made or one is already open.
  bool Open(const std::string& path);
  void Record(Direction direction, std::string_view bytes);
  void Note(std::string_view text);
  // False when the trace could not be completed: a line could not be written,
  // the rename failed, or nothing was open.
  bool Close();
  bool is_open() const;
  // The final path given to Open() (the side file is this + ".part").
  const std::string& path() const;

 private:
  mutable std::mutex mutex_;
  int fd_ = -1;
  bool write_failed_ = false;
  std::string path_;
  std::chrono::steady_clock::time_point start_{};
};

}  // namespace tessor::trace
