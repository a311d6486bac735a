#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>

#include "engine/auto_reset_event.h"
#include "engine/engine_fields.h"
#include "engine/engine_observer.h"
#include "engine/protocol_constants.h"
#include "engine/receiver.h"
#include "engine/result_codes.h"
#include "engine/serial_port.h"

namespace tessor {

// The one object through which the program reaches the device. Plain fields
// grouped by concern; operations are members, defined in a file per concern.
class CDeviceEngine {
 public:
  using PortResolver = std::function<std::string(int port_number)>;

  CDeviceEngine();
  virtual ~CDeviceEngine();
  CDeviceEngine(const CDeviceEngine&) = delete;
  CDeviceEngine& operator=(const CDeviceEngine&) = delete;

  // --- Reporting (engine_report.cpp) ---
  void SetObserver(EngineObserver* observer) { observer_ = observer; }
  // Adds a numbered text as a status line.
  void ReportStatus(int string_id, bool replace_last = false);
  // Adds a status line unless it equals the last one.
  void ReportStatusText(const std::string& text, bool replace_last = false);
  void PostNotification(int id, int64_t first, int64_t second);
  void ShowMessage(const std::string& text);
  std::string last_status_line() const;

  // --- Serial link (serial_link.cpp) ---
  // Maps a port number to a device path; the application provides the directory.
  void SetPortResolver(PortResolver resolver) { resolver_ = std::move(resolver); }
  int OpenPort();
  int ReadQueued();
  bool WriteSentence(const char* text, size_t length);
  void ClosePort();
  // One cycle of the link thread: waits up to wait_ms for input, reads it, runs
  // the receiver, sends queued commands and ends the link when the port is lost.
  void LinkPoll(int wait_ms);

  // --- Receiver (receive_bytes.cpp) ---
  int ReceiveBytes();

  // --- Command set (command_set.cpp) ---
  int BuildCommand(int number, std::span<char, kCommandBufferSize> buffer);
  int SendCommand(int number);
  void QueueCommand(uint32_t bit) { queued_commands.fetch_or(bit); }
  void SendQueuedCommands();

  // --- Answer dispatch (dispatch.cpp) ---
  int DispatchAnswer(const char* sentence, size_t length);

  AutoResetEvent& event(AnswerEvent e) { return events_[static_cast<int>(e)]; }
  void SetA(uint32_t bits) { flags_a.fetch_or(bits); }
  void ClearA(uint32_t bits) { flags_a.fetch_and(~bits); }
  void SetB(uint16_t bits) { flags_b.fetch_or(bits); }
  void ClearB(uint16_t bits) { flags_b.fetch_and(static_cast<uint16_t>(~bits)); }
  void Signal(AnswerEvent e) { event(e).Set(); }
  // Replaces (GGA) or extends the position text; what would not fit is dropped.
  void StorePositionSentence(std::string_view framed, bool replace);

  // Link state.
  uint8_t port_number = 1;
  std::string port_path;
  SerialPort port;
  std::atomic<uint32_t> link_status{0};  // 0x1: port open
  std::atomic<int> last_system_error{0};
  ReceiveRing ring;
  SentenceReceiver receiver;
  int port_access_errors = 0;

  // Run flags shared between threads.
  std::atomic<bool> link_flag{false};
  std::atomic<bool> busy_flag{false};
  std::atomic<bool> operation_running{false};
  std::atomic<bool> worker_running{false};
  std::atomic<bool> ignore_blocks{true};

  // Command side.
  std::atomic<uint32_t> queued_commands{0};
  std::atomic<int> last_command{0};
  CommandArgs args;
  std::atomic<uint8_t> block_upload_xor{0};

  // Answer side.
  std::atomic<uint32_t> flags_a{0};
  std::atomic<uint16_t> flags_b{0};
  uint8_t busy_value = 0;
  uint8_t log001_value = 0;
  uint8_t log003_value = 0;
  uint8_t battery_value = 0;
  DeviceDateTime device_time;
  PositionReport position_report;
  FlashUsage flash_usage;
  TrackHeaderAnswer track_header;
  LoggerConfig config;
  std::string device_name;  // at most kDeviceNameSize - 1 bytes
  uint8_t log113_result = 0;
  uint16_t firmware_version = 0;
  int32_t capacity = 0x200000;
  TransferState transfer;
  std::mutex transfer_mutex;  // the track download prepares, the link thread fills
  PoiRead poi;

  // Position text: the last GGA and the sentences after it, framed again.
  std::string position_text() const;

 protected:
  void OnBinaryProtocol();
  void OnPortLost();
  bool ResolvePortPath();
  void ApplySentCommand(int number);
  EngineObserver* observer_ = nullptr;
  PortResolver resolver_;
  std::array<AutoResetEvent, static_cast<size_t>(AnswerEvent::kCount)> events_;
  mutable std::mutex report_mutex_;
  std::string last_status_line_;
  mutable std::mutex position_mutex_;
  // Direct sends come from worker threads, queued ones from the link thread:
  // one sentence at a time, and never while the port is being closed.
  std::mutex port_mutex_;
  std::string position_text_;
};

}  // namespace tessor
