#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessor {

// File access and disposition as the readers take them.
enum FileAccess : int { kAccessRead = 0, kAccessWrite = 1, kAccessReadWrite = 2 };
enum FileDisposition : int {
  kCreateNew = 1,
  kCreateAlways = 2,
  kOpenExisting = 3,
  kOpenAlways = 4,
  kTruncateExisting = 5,
};

inline constexpr const char* kCameraHeader = "Latitude,Longitude,direction,vmax,Type";
inline constexpr const char* kDbFormatMessage =
    "File format is not correct!! Please check the DB file!!";

// Whole-file text reader: loads a file or buffer, cuts it into lines (ended by
// CR LF, LF or CR; a last line without an end counts too) and hands each line
// that is not blank to ParseLine. The members derive from it per format.
class CFileProcess {
 public:
  CFileProcess() = default;
  virtual ~CFileProcess();
  CFileProcess(const CFileProcess&) = delete;
  CFileProcess& operator=(const CFileProcess&) = delete;

  virtual bool ParseLine(const char* line);
  virtual bool OpenAndRead(const std::string& path, int access = kAccessRead,
                           int disposition = kOpenExisting);
  virtual bool LoadBuffer(const void* bytes, size_t length);
  virtual bool ParseAllLines();
  // Number of CR immediately followed by LF in the loaded data.
  virtual uint32_t CountLines();
  virtual bool CheckHeader();

  uint32_t last_error() const { return last_error_; }
  // Lines of the last read that a parser refused, and the number of the first
  // (counted from 1, the header included).
  uint32_t bad_lines() const { return bad_lines_; }
  uint32_t first_bad_line() const { return first_bad_line_; }
  size_t length() const { return data_.size(); }
  const std::string& output() const { return output_; }
  void set_caption(const std::string& caption) { caption_ = caption; }
  const std::string& caption() const { return caption_; }

 protected:
  bool OpenFile(const std::string& path, int access, int disposition);
  void CloseFile();
  // Open, read every byte, close; errors are kept and shown.
  bool ReadWholeFile(const std::string& path, int access, int disposition);
  void FailWithSystemError(int error_number);
  // Walks the lines; lines longer than max_line are cut and their excess
  // dropped, so an over-long line never turns into extra records.
  // Ends by telling the user once about refused lines.
  bool RunLineLoop(size_t max_line, bool skip_header_lines);
  bool DataContains(std::string_view text) const;
  // Lines that are not blank, by any line end.
  uint32_t CountTextLines() const;
  // A parser calls this for the line it is given when the line holds no
  // record it can use; the line is counted, not stored.
  void RefuseLine();
  void StartCounting();
  // One message for all refused lines (or other units), naming the first.
  void ReportRefused(const char* unit);

  uint32_t last_error_ = 0;
  uint32_t line_number_ = 0;
  uint32_t bad_lines_ = 0;
  uint32_t first_bad_line_ = 0;
  int file_ = -1;
  std::vector<char> data_;
  // Grows as needed: converted text can exceed any size guessed from the input.
  std::string output_;
  size_t output_length_ = 0;
  std::string caption_;
};

}  // namespace tessor
