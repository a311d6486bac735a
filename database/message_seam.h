#pragma once

#include <functional>
#include <string>

namespace tessor {

// The one way the file readers and builders raise a message box. The desktop
// program shows it, the command-line tool prints it, tests record it; without a
// handler the message is dropped.
using MessageHandler = std::function<void(const std::string& caption, const std::string& text)>;

// Installs the handler for the whole process and returns the previous one.
MessageHandler SetMessageHandler(MessageHandler handler);
void ShowMessageBox(const std::string& caption, const std::string& text);
// The system's text for an error number, shown with the program caption.
void ShowSystemError(int error_number);

}  // namespace tessor
