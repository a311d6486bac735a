#include <chrono>

#include "engine/device_engine.h"
#include "engine/timing.h"

namespace tessor {

// The device reported itself busy ("LOG000" with value 1).
bool CDeviceEngine::Busy() const {
  return (flags_b.load() & flag_b::kBusy) != 0 && busy_value == 1;
}

namespace {
// The answer to a setting: busy, refused, accepted, or nothing at all.
ResultCode SettingResult(const CDeviceEngine& e, bool busy, uint32_t refused,
                         ResultCode refused_code, uint32_t accepted) {
  if (busy) return kResultDeviceBusy;
  const uint32_t a = e.flags_a.load();
  if (a & refused) return refused_code;
  if (a & accepted) return kResultOk;
  return kResultNoAnswer;
}
}  // namespace

// The answer's time bounds the wait, but an answer ends it at once. The busy
// bit ends it only with a busy value of 1: a device may say "$LOG000,0" (not
// busy) before its answer.
// The queued-answer wait is the protocol's shortest and ends as soon as the
// answer comes: it is never scaled down, or a faster timing would take a
// scheduling delay on a busy machine for a device that does not answer. For
// the same reason it counts from the moment the link thread took the command
// off the queue to write it, not from the moment it was queued.
void CDeviceEngine::WaitForFlags(uint32_t queue_bit, uint32_t a_bits, uint16_t b_bits,
                                 int real_ms) {
  using Clock = WakeSignal::Clock;
  const auto send_limit = Clock::now() + std::chrono::milliseconds(timing::kQueuedSendLimitMs);
  const bool busy_ends = (b_bits & flag_b::kBusy) != 0;
  const auto answer_bits = static_cast<uint16_t>(b_bits & ~flag_b::kBusy);
  const auto answered = [&] {
    return (flags_a.load() & a_bits) != 0 || (flags_b.load() & answer_bits) != 0 ||
           (busy_ends && Busy());
  };
  const auto taken = [&] { return (queued_commands.load() & queue_bit) == 0; };
  // Until the link thread takes the command off the queue; a link that is
  // gone never will.
  if (!wake_.WaitUntil(send_limit, [&] { return answered() || taken() || !link_flag.load(); })) {
    return;
  }
  if (answered() || !taken()) return;
  wake_.WaitUntil(Clock::now() + std::chrono::milliseconds(real_ms), answered);
}

ResultCode CDeviceEngine::QueryBattery(uint8_t* value) {
  ClearB(flag_b::kBusy | flag_b::kLog003 | flag_b::kBattery);
  QueueCommand(queue_bit::k004);
  WaitForFlags(queue_bit::k004, 0, flag_b::kBusy | flag_b::kBattery, timing::kQueuedAnswerMs);
  if (Busy()) return kResultDeviceBusy;
  if ((flags_b.load() & flag_b::kBattery) == 0) return kResultNoAnswer;
  if (value != nullptr) *value = Snapshot(battery_value);
  return kResultOk;
}

ResultCode CDeviceEngine::QueryFlashUsage(FlashUsage* usage) {
  ClearB(flag_b::kBusy | flag_b::kLog003 | flag_b::kBattery | flag_b::kFlashUsage);
  QueueCommand(queue_bit::k100);
  event(AnswerEvent::kLog100).Wait(transport().WaitMs(timing::kFlashUsageWaitMs));
  if (Busy()) return kResultDeviceBusy;
  if ((flags_b.load() & flag_b::kFlashUsage) == 0) return kResultNoAnswer;
  if (usage != nullptr) *usage = Snapshot(flash_usage);
  return kResultOk;
}

ResultCode CDeviceEngine::SetLogSwitches(int log, int nmea) {
  ClearB(flag_b::kBusy);
  ClearA(flag_a::kLog103Ok | flag_a::kLog103Refused);
  args.log_switch = log != 0;
  args.nmea_switch = nmea != 0;
  QueueCommand(queue_bit::k103);
  WaitForFlags(queue_bit::k103, flag_a::kLog103Refused | flag_a::kLog103Ok, flag_b::kBusy,
               timing::kQueuedAnswerMs);
  return SettingResult(*this, Busy(), flag_a::kLog103Refused, kResultLog103Refused,
                       flag_a::kLog103Ok);
}

ResultCode CDeviceEngine::SetLoggerConfig(int log_type, uint32_t interval, int data_type,
                                          int memory_full) {
  ClearB(flag_b::kBusy);
  ClearA(flag_a::kLog104Ok | flag_a::kLog104Refused);
  args.log_type = static_cast<uint8_t>(log_type);
  args.log_interval = interval;
  args.data_type = static_cast<uint8_t>(data_type);
  args.memory_full = static_cast<uint8_t>(memory_full);
  QueueCommand(queue_bit::k104);
  WaitForFlags(queue_bit::k104, flag_a::kLog104Refused | flag_a::kLog104Ok, flag_b::kBusy,
               timing::kLoggerConfigAnswerMs);
  return SettingResult(*this, Busy(), flag_a::kLog104Refused, kResultLog104Refused,
                       flag_a::kLog104Ok);
}

ResultCode CDeviceEngine::SetAlertRanges(int critical, int notification) {
  ClearB(flag_b::kBusy);
  ClearA(flag_a::kAlertSaved | flag_a::kLog116Refused);
  args.alert_values[0] = 4096;
  args.alert_values[1] = critical;
  args.alert_values[2] = notification;
  QueueCommand(queue_bit::k116);
  WaitForFlags(queue_bit::k116, flag_a::kLog116Refused | flag_a::kAlertSaved, flag_b::kBusy,
               timing::kAlertRangesAnswerMs);
  return SettingResult(*this, Busy(), flag_a::kLog116Refused, kResultLog116Refused,
                       flag_a::kAlertSaved);
}

ResultCode CDeviceEngine::SetSpeedFilter(int32_t value) {
  ClearB(flag_b::kBusy);
  ClearA(flag_a::kLog105Ok | flag_a::kLog105Refused);
  args.speed_filter = value;
  QueueCommand(queue_bit::k105);
  WaitForFlags(queue_bit::k105, flag_a::kLog105Refused | flag_a::kLog105Ok, flag_b::kBusy,
               timing::kQueuedAnswerMs);
  return SettingResult(*this, Busy(), flag_a::kLog105Refused, kResultLog105Refused,
                       flag_a::kLog105Ok);
}

ResultCode CDeviceEngine::QueryLoggerConfig(LoggerConfig* out) {
  ClearB(flag_b::kBusy | flag_b::kConfiguration);
  QueueCommand(queue_bit::k108);
  WaitForFlags(queue_bit::k108, 0, flag_b::kBusy | flag_b::kConfiguration, timing::kQueuedAnswerMs);
  if (Busy()) return kResultDeviceBusy;
  if ((flags_b.load() & flag_b::kConfiguration) == 0) return kResultNoAnswer;
  std::lock_guard<std::mutex> lock(answer_mutex);
  poi.count = config.value(13);
  if (out != nullptr) *out = config;
  return kResultOk;
}

ResultCode CDeviceEngine::EraseLog() {
  ClearB(flag_b::kBusy);
  ClearA(flag_a::kLog109Ok | flag_a::kLog109Refused);
  args.erase_value = -1;
  QueueCommand(queue_bit::k109);
  WaitForFlags(queue_bit::k109, flag_a::kLog109Refused | flag_a::kLog109Ok, flag_b::kBusy,
               timing::kQueuedAnswerMs);
  return SettingResult(*this, Busy(), flag_a::kLog109Refused, kResultLog109Refused,
                       flag_a::kLog109Ok);
}

}  // namespace tessor
