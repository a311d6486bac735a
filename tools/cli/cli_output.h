#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessor::cli {

// Exit statuses of the command-line contract.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 64;
inline constexpr int kExitBadInput = 65;
inline constexpr int kExitDeviceFailed = 66;
inline constexpr int kExitCannotWrite = 74;

// The help text of every device subcommand's --port.
inline constexpr const char* kPortHelp =
    "COM number (COM3 or 3) or device path (/dev/ttyUSB0); default: the port the desktop "
    "program saved";

// Message boxes of the core go to standard error as "message: TEXT".
void InstallMessagePrinter();
// One status line on standard output, or on standard error once a subcommand
// prints a JSON document there instead.
void PrintStatus(const std::string& line);
void SendStatusToStandardError();
// The status of a subcommand whose lines may not all have reached standard
// output (a full disk, a closed reader): a lost line is no success.
int FinishOutput(int status);
// A text made safe for one tab-separated field: backslash, tab, line feed and
// carriage return become \\, \t, \n and \r.
std::string EscapeField(std::string_view text);
// A diagnostic of the tool itself on standard error.
void PrintError(const std::string& text);

// Exactly count comma-separated finite decimal numbers (with decimal points,
// whatever the locale), or nothing.
std::optional<std::vector<double>> ParseNumbers(std::string_view text, size_t count);

bool ReadWholeFile(const std::string& path, std::string& bytes);
// Writes the file whole; on failure errno tells why.
bool WriteWholeFile(const std::string& path, const std::string& bytes);

}  // namespace tessor::cli
