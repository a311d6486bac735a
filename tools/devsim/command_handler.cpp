#include "tools/devsim/command_handler.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string_view>

#include "tools/devsim/answers.h"
#include "tools/devsim/command_fields.h"

namespace tessor::devsim {

namespace {

constexpr size_t kBlockPayloadMax = 240;
constexpr size_t kBlockCountMax = 273;  // indices 0 to 272

// "[-]DD" (or "DDD") whole degrees followed by the millionths, unpadded.
std::optional<int64_t> PositionMillionths(std::string_view field, size_t degree_digits,
                                          int64_t limit) {
  const bool negative = !field.empty() && field.front() == '-';
  if (negative) field.remove_prefix(1);
  if (field.size() <= degree_digits || field.size() > degree_digits + 6) return std::nullopt;
  for (char ch : field) {
    if (ch < '0' || ch > '9') return std::nullopt;
  }
  const int64_t degrees = std::stoll(std::string(field.substr(0, degree_digits)));
  const int64_t fraction = std::stoll(std::string(field.substr(degree_digits)));
  const int64_t e6 = degrees * 1000000 + fraction;
  if (e6 > limit * 1000000) return std::nullopt;
  return negative ? -e6 : e6;
}

// Commands that set or read one thing and get one answer; transfers (102,
// 115, 999) and the identification are not among them.
bool SettingOrQuery(int command) {
  switch (command) {
    case 2:
    case 3:
    case 4:
    case 100:
    case 101:
    case 103:
    case 104:
    case 105:
    case 106:
    case 107:
    case 108:
    case 109:
    case 110:
    case 111:
    case 113:
    case 114:
    case 116:
      return true;
    default:
      return false;
  }
}

}  // namespace

Reply CommandHandler::Handle(const HostCommand& command, bool erasing) {
  Reply reply;
  if (!ActedOnInMode(command.number)) return reply;
  if (faults_.TakeSilent(command.number)) return reply;
  if (erasing || faults_.TakeBusy(command.number)) {
    Say(reply, "$LOG000,1");
    return reply;
  }
  Answer(reply, command);
  if (faults_.not_busy_reports() && SettingOrQuery(command.number) && !reply.sentences.empty()) {
    reply.sentences.insert(reply.sentences.begin(), TextAnswer("$LOG000,0"));
  }
  return reply;
}

bool CommandHandler::ActedOnInMode(int command) const {
  if (!variant_.strict_modes) return true;
  const int mode = model_.link_mode;
  switch (command) {
    case 999:
      return mode == 1;
    case 102:
      return mode == 3;
    case 115:
      return mode == 2 || mode == 3;
    default:
      return true;
  }
}

void CommandHandler::Say(Reply& reply, const std::string& text) {
  reply.sentences.push_back(TextAnswer(text));
}

void CommandHandler::Answer(Reply& reply, const HostCommand& c) {
  switch (c.number) {
    case 1:
    case 2:
      DeviceClock(reply, c);
      break;
    case 3:
      if (c.fields.empty()) Say(reply, Format("$LOG003,%d", model_.log_switch ? 1 : 0));
      break;
    case 4:
      if (c.fields.empty()) Say(reply, Format("$LOG004,%u", model_.battery()));
      break;
    case 100:
      if (c.fields.empty()) {
        const auto u = model_.FlashUsage();
        Say(reply, Format("$LOG100,%u,%u,%u,%u", u[0], u[1], u[2], u[3]));
      }
      break;
    case 101:
      TrackHeaderAnswer(reply, c);
      break;
    case 102:
      TrackRequest(reply, c);
      break;
    case 103:
      LogSwitches(reply, c);
      break;
    case 104:
      LoggerConfig(reply, c);
      break;
    case 105:
      SpeedFilter(reply, c);
      break;
    case 106:
    case 107:
      StoredPosition(reply, c);
      break;
    case 108:
      if (c.fields.empty()) ConfigurationAnswer(reply);
      break;
    case 109:
      EraseLog(reply, c);
      break;
    case 110:
      if (c.fields.size() >= 2) Say(reply, "$LOG110,1");
      break;
    case 111:
      if (c.fields.empty()) {
        Say(reply, "$LOG111," + std::to_string(model_.name().size()) + "," + model_.name());
      }
      break;
    case 113:
      LinkMode(reply, c);
      break;
    case 114:
      PoiAnswer(reply, c);
      break;
    case 115:
      DatabaseRead(reply, c);
      break;
    case 116:
      AlertRanges(reply, c);
      break;
    case 999:
      BlockUpload(reply, c);
      break;
    case kIdentificationCommand:
      Identification(reply);
      break;
    default:
      break;  // not in this firmware's vocabulary
  }
}

// The firmware number sits ten characters after the "V" of "Ver".
void CommandHandler::Identification(Reply& reply) {
  Say(reply, Format("$PSRFTXT,Varnelco GPS Ver:2.00 R%03d", model_.firmware()));
  Say(reply, Format("$PSRFTXT,Capacity=%lld", static_cast<long long>(model_.capacity())));
}

// 001 sets the clock ("%06ld,%08ld": HHMMSS, YYYYMMDD) and has no answer; 002 reads it.
void CommandHandler::DeviceClock(Reply& reply, const HostCommand& c) {
  const std::time_t now = std::time(nullptr);
  int64_t v[2];
  if (c.number == 1) {
    if (!Integers(c, 2, v)) return;
    std::tm t{};
    t.tm_hour = static_cast<int>(v[0] / 10000), t.tm_min = static_cast<int>(v[0] / 100 % 100);
    t.tm_sec = static_cast<int>(v[0] % 100), t.tm_year = static_cast<int>(v[1] / 10000 - 1900);
    t.tm_mon = static_cast<int>(v[1] / 100 % 100 - 1), t.tm_mday = static_cast<int>(v[1] % 100);
    clock_offset_s_ = static_cast<int64_t>(timegm(&t)) - now;
    return;
  }
  if (!c.fields.empty()) return;
  const std::time_t device = static_cast<std::time_t>(now + clock_offset_s_);
  std::tm t{};
  gmtime_r(&device, &t);
  Say(reply, Format("$LOG002,%04d%02d%02d,%02d%02d%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                    t.tm_hour, t.tm_min, t.tm_sec));
}

void CommandHandler::TrackHeaderAnswer(Reply& reply, const HostCommand& c) {
  int64_t index;
  if (!Integers(c, 1, &index)) return;
  if (index < 0 || static_cast<size_t>(index) >= model_.track_count() ||
      model_.track(index).refused) {
    Say(reply, "$LOG101,0");
    return;
  }
  const TrackHeader& h = model_.track(index);
  Say(reply, Format("$LOG101,%u,%d,%u,%u", h.date, h.format, h.count, h.address));
}

void CommandHandler::TrackRequest(Reply& reply, const HostCommand& c) {
  int64_t v[3];
  if (!Integers(c, 3, v)) return;
  const uint32_t request = faults_.NextTrackRequest();
  const size_t size = RecordSize(static_cast<int>(v[1]));
  const int64_t bytes = v[2] * static_cast<int64_t>(size);
  std::vector<uint8_t> data;
  if (faults_.RefuseRequest(request) || size == 0 || v[0] < 0 || bytes <= 0 ||
      bytes > static_cast<int64_t>(kBlockPayloadMax * kBlockCountMax) ||
      !model_.ReadLog(static_cast<uint32_t>(v[0]), static_cast<uint32_t>(bytes), &data)) {
    reply.sentences.push_back(ShortRefusal());
    return;
  }
  if (const auto stop = faults_.StopBlocksAfter(request))
    data.resize(std::min<size_t>(data.size(), *stop));
  for (size_t at = 0, index = 0; at < data.size(); at += kBlockPayloadMax, ++index) {
    const size_t n = std::min(kBlockPayloadMax, data.size() - at);
    reply.sentences.push_back(DataBlockAnswer(
        static_cast<uint16_t>(index), std::span(data).subspan(at, n), variant_.block_checksum));
  }
}

void CommandHandler::LogSwitches(Reply& reply, const HostCommand& c) {
  int64_t v[2];
  if (!Integers(c, 2, v)) return;
  if ((v[0] != 0 && v[0] != 1) || (v[1] != 0 && v[1] != 1)) {
    Say(reply, "$LOG103,0");
    return;
  }
  model_.log_switch = v[0] == 1;
  reply.streaming_changed = model_.nmea_switch != (v[1] == 1);
  model_.nmea_switch = v[1] == 1;
  Say(reply, "$LOG103,1");
}

// 104 carries log type, interval, data type, memory-full option; the
// configuration answer holds them as fields 4, 5, 1 and 3.
void CommandHandler::LoggerConfig(Reply& reply, const HostCommand& c) {
  int64_t v[4];
  if (!Integers(c, 4, v)) return;
  if (v[0] < 0 || v[0] > 1 || v[1] < 0 || v[2] < 0 || v[2] > 2 || v[3] < 0 || v[3] > 1) {
    Say(reply, "$LOG104,0");
    return;
  }
  model_.SetConfig(4, v[0]);
  model_.SetConfig(5, v[1]);
  model_.SetConfig(1, v[2]);
  model_.SetConfig(3, v[3]);
  Say(reply, "$LOG104,1");
}

void CommandHandler::SpeedFilter(Reply& reply, const HostCommand& c) {
  int64_t v;
  if (!Integers(c, 1, &v)) return;
  model_.SetConfig(7, v);
  Say(reply, "$LOG105,1");
}

void CommandHandler::ConfigurationAnswer(Reply& reply) {
  std::string text = "$LOG108";
  for (int64_t v : model_.config()) text += "," + std::to_string(v);
  Say(reply, text);
}

void CommandHandler::EraseLog(Reply& reply, const HostCommand& c) {
  int64_t v;
  if (!Integers(c, 1, &v)) return;
  // Only the whole-log erase (-1) is modelled; other values are refused.
  if (v != -1) {
    Say(reply, "$LOG109,0");
    return;
  }
  model_.EraseLog();
  Say(reply, "$LOG109,1");
  reply.start_erase = true;
}

void CommandHandler::LinkMode(Reply& reply, const HostCommand& c) {
  int64_t mode;
  if (!Integers(c, 1, &mode)) return;
  if (mode < 1 || mode > 3) {
    Say(reply, "$LOG113,0");
    return;
  }
  model_.link_mode = static_cast<int>(mode);
  Say(reply, "$LOG113,1");
  // Mode 1 prepares a database upload: the database flash is erased.
  if (mode == 1) {
    model_.EraseDatabase();
    reply.start_erase = true;
  }
}

// 106 sets the stored position ("%02d%ld" degrees then millionths, a minus
// before a southern or western one) and value; 107 reads them.
void CommandHandler::StoredPosition(Reply& reply, const HostCommand& c) {
  if (c.number == 107) {
    if (c.fields.empty()) {
      Say(reply, Format("$LOG107,%lld,%lld,%lld", static_cast<long long>(model_.stored_lat_e6),
                        static_cast<long long>(model_.stored_lon_e6),
                        static_cast<long long>(model_.config()[1])));
    }
    return;
  }
  const auto value = c.fields.size() == 3 ? ParseInteger(c.fields[2]) : std::nullopt;
  if (!value) return;
  const auto lat = PositionMillionths(c.fields[0], 2, 90);
  const auto lon = PositionMillionths(c.fields[1], 3, 180);
  if (!lat || !lon) {
    Say(reply, "$LOG106,0");
    return;
  }
  model_.stored_lat_e6 = *lat;
  model_.stored_lon_e6 = *lon;
  model_.SetConfig(2, *value);
  Say(reply, "$LOG106,1");
}

}  // namespace tessor::devsim
