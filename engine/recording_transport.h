#pragma once

#include <string>

#include "engine/trace_format.h"
#include "engine/transport.h"

namespace tessor {

// Passes everything to another transport and records on the way every byte in
// both directions, the line's open and close and its errors. A host sentence
// is recorded before it is written, so its answer never comes first in the trace.
class RecordingTransport : public Transport {
 public:
  // Neither is owned; both must outlive this transport.
  RecordingTransport(Transport& inner, trace::TraceWriter& writer)
      : inner_(inner), writer_(writer) {}

  ResultCode Open(const std::string& path) override;
  void Close() override;
  bool is_open() const override { return inner_.is_open(); }
  long QueuedBytes() override;
  long Read(uint8_t* data, size_t count) override;
  bool Write(const char* data, size_t count, int timeout_ms) override;
  WaitResult WaitReadable(int timeout_ms, int wake_fd = -1) override;
  int last_error() const override { return inner_.last_error(); }

  // The pauses run on the inner transport's clock.
  int WaitMs(int protocol_ms) const override { return inner_.WaitMs(protocol_ms); }
  void Pause(int protocol_ms) override { inner_.Pause(protocol_ms); }

 private:
  void NoteError();

  Transport& inner_;
  trace::TraceWriter& writer_;
};

// "error EIO: Input/output error": the errno's name and its untranslated text,
// so a trace reads the same whatever the locale.
std::string TraceErrorText(int error);

}  // namespace tessor
