#pragma once

#include <string>
#include <vector>

#include "tools/devsim/command_parser.h"
#include "tools/devsim/device_model.h"
#include "tools/devsim/faults.h"

namespace tessor::devsim {

struct Reply {
  std::vector<std::string> sentences;  // framed, in sending order
  bool start_erase = false;            // erase reports follow
  bool streaming_changed = false;      // the NMEA switch was set
};

// The firmware's answer to each command. A command it cannot make sense of
// gets no answer at all, as a device would do.
class CommandHandler {
 public:
  CommandHandler(DeviceModel& model, FaultState& faults, const Variant& variant)
      : model_(model), faults_(faults), variant_(variant) {}

  // `erasing`: the flash is still being erased, so the device only reports busy.
  Reply Handle(const HostCommand& command, bool erasing);

 private:
  // False for a transfer command that a strict firmware ignores in this mode.
  bool ActedOnInMode(int command) const;
  void Answer(Reply& reply, const HostCommand& c);
  void Say(Reply& reply, const std::string& text);
  void Identification(Reply& reply);
  void DeviceClock(Reply& reply, const HostCommand& c);
  void TrackHeaderAnswer(Reply& reply, const HostCommand& c);
  void TrackRequest(Reply& reply, const HostCommand& c);
  void LogSwitches(Reply& reply, const HostCommand& c);
  void LoggerConfig(Reply& reply, const HostCommand& c);
  void SpeedFilter(Reply& reply, const HostCommand& c);
  void StoredPosition(Reply& reply, const HostCommand& c);
  void ConfigurationAnswer(Reply& reply);
  void EraseLog(Reply& reply, const HostCommand& c);
  void LinkMode(Reply& reply, const HostCommand& c);
  void PoiAnswer(Reply& reply, const HostCommand& c);
  void DatabaseRead(Reply& reply, const HostCommand& c);
  void AlertRanges(Reply& reply, const HostCommand& c);
  void BlockUpload(Reply& reply, const HostCommand& c);

  DeviceModel& model_;
  FaultState& faults_;
  Variant variant_;
  int64_t clock_offset_s_ = 0;  // set by 001
};

}  // namespace tessor::devsim
