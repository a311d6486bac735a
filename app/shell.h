#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace tessor {

// 8-bit text (UTF-8 on Linux) to wide text and back.
QString ToWide(const QByteArray& text);
QString ToWide(const std::string& text);
QByteArray ToNarrow(const QString& text);

// "The program's folder" for data files: the per-user data folder, created on
// first use, without a trailing separator; nothing when it cannot be made.
std::optional<QString> GetProgramFolder();

// The program's version as four parts (major, minor, build, revision), from a
// dotted text such as "0.1.0"; nothing when the text holds no version.
std::optional<std::array<uint16_t, 4>> ParseFileVersion(const std::string& text);
std::optional<std::array<uint16_t, 4>> GetFileVersion();

// "%d.%d.%d.%d".
QString FormatVersion(const std::array<uint16_t, 4>& version);

// The window title: the caption, then two blanks and the version when there is one.
QString WindowTitle();

// The texts of the numbered table as wide text.
QString LoadText(int id);

// The operating system's text for an error number, e.g. "Not a directory".
QString SystemErrorText(int error);

// Why a file cannot be written: the error number met when its folders are made
// and it is opened for appending (its contents stay as they are); 0 when it can.
int FileWriteError(const QString& path);

}  // namespace tessor
