#include "engine/recording_transport.h"

#include <cstring>
#include <string_view>

#include "engine/result_codes.h"

namespace tessor {

std::string TraceErrorText(int error) {
  const char* name = ::strerrorname_np(error);
  const char* text = ::strerrordesc_np(error);
  std::string out = "error " + (name ? std::string(name) : std::to_string(error));
  if (text) out += std::string(": ") + text;
  return out;
}

void RecordingTransport::NoteError() {
  writer_.Note(TraceErrorText(inner_.last_error()));
}

ResultCode RecordingTransport::Open(const std::string& path) {
  writer_.Note("open " + path);
  const ResultCode result = inner_.Open(path);
  if (result != kResultOk) NoteError();
  return result;
}

void RecordingTransport::Close() {
  if (!inner_.is_open()) return;
  inner_.Close();
  writer_.Note("close");
}

long RecordingTransport::QueuedBytes() {
  const long queued = inner_.QueuedBytes();
  if (queued < 0) NoteError();
  return queued;
}

long RecordingTransport::Read(uint8_t* data, size_t count) {
  const long got = inner_.Read(data, count);
  if (got > 0) {
    writer_.Record(trace::Direction::kDevice,
                   std::string_view(reinterpret_cast<const char*>(data), static_cast<size_t>(got)));
  } else if (got < 0) {
    NoteError();
  }
  return got;
}

bool RecordingTransport::Write(const char* data, size_t count, int timeout_ms) {
  writer_.Record(trace::Direction::kHost, std::string_view(data, count));
  const bool written = inner_.Write(data, count, timeout_ms);
  if (!written) NoteError();
  return written;
}

Transport::WaitResult RecordingTransport::WaitReadable(int timeout_ms, int wake_fd) {
  const WaitResult result = inner_.WaitReadable(timeout_ms, wake_fd);
  if (result == WaitResult::kLost) NoteError();
  return result;
}

}  // namespace tessor
