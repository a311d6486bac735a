#include "database/message_seam.h"

#include <cstring>
#include <mutex>

#include "engine/string_table.h"

namespace tessor {

namespace {
std::mutex& HandlerMutex() {
  static std::mutex mutex;
  return mutex;
}
MessageHandler& Handler() {
  static MessageHandler handler;
  return handler;
}
}  // namespace

MessageHandler SetMessageHandler(MessageHandler handler) {
  std::lock_guard<std::mutex> lock(HandlerMutex());
  MessageHandler previous = std::move(Handler());
  Handler() = std::move(handler);
  return previous;
}

void ShowMessageBox(const std::string& caption, const std::string& text) {
  MessageHandler handler;
  {
    std::lock_guard<std::mutex> lock(HandlerMutex());
    handler = Handler();
  }
  if (handler) handler(caption, text);
}

void ShowSystemError(int error_number) {
  char buffer[256] = {};
  // The GNU strerror_r may return a static text instead of filling the buffer.
  const char* text = strerror_r(error_number, buffer, sizeof buffer);
  ShowMessageBox(LoadString(kStrCaption), text);
}

}  // namespace tessor
