#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/device_engine.h"
#include "engine/framing.h"
#include "engine/string_table.h"

namespace tessor {

namespace {

using Buffer = std::span<char, kCommandBufferSize>;

template <typename... Args>
ResultCode Format(Buffer buffer, const char* format, Args... args) {
  const int n = std::snprintf(buffer.data(), buffer.size(), format, args...);
  return (n < 0 || static_cast<size_t>(n) >= buffer.size()) ? kResultTooLong : kResultOk;
}

// 001 carries a full time of day; hours run 0..23.
bool DateTimeValid(const CommandArgs& a) {
  return a.month <= 12 && a.day <= 31 && a.hour <= 23 && a.minute <= 60 && a.second <= 60;
}

// One coordinate of command 106: integer part (with its sign, zero-padded to
// `width` characters including a minus) and the millionths, unpadded. A value
// whose integer part is 0 keeps its sign ("-00", "-000").
std::string CoordinateText(float value, int width) {
  const auto integer = static_cast<int16_t>(std::trunc(value));
  const auto fraction =
      static_cast<long>(std::fabs((static_cast<double>(value) - integer) * 1000000.0));
  char text[32];
  if (integer == 0 && std::signbit(value) && value != 0.0f) {
    std::snprintf(text, sizeof text, "-%0*d%ld", width, 0, fraction);
  } else {
    std::snprintf(text, sizeof text, "%0*d%ld", integer < 0 ? width + 1 : width, integer, fraction);
  }
  return text;
}

ResultCode BuildPosition(const CommandArgs& a, Buffer buffer) {
  const float lat = a.position_latitude, lon = a.position_longitude;
  if (!(lat >= -90.0f && lat <= 90.0f && lon >= -180.0f && lon <= 180.0f))
    return kResultBadArgument;
  // Latitude takes two digits, longitude three, each after an optional minus.
  return Format(buffer, "$PKVN106,%s,%s,%ld", CoordinateText(lat, 2).c_str(),
                CoordinateText(lon, 3).c_str(), static_cast<long>(a.position_value));
}

uint8_t BlockXor(const CommandArgs& a) {
  uint8_t sum = 0;
  for (uint32_t i = 0; i < std::min<uint32_t>(a.block_count, kBlockUploadMax); ++i) {
    sum ^= a.block_data[i];
  }
  return sum;
}

ResultCode BuildBlockUpload(const CommandArgs& a, Buffer buffer) {
  const uint32_t count = std::min<uint32_t>(a.block_count, kBlockUploadMax);
  std::string text = "$PKVN999," + std::to_string(static_cast<long>(a.block_address)) + ",";
  char hex[3];
  for (uint32_t i = 0; i < count; ++i) {
    // The device takes "%CDB" literally; every other byte goes as two hex digits.
    if (i + 3 < count && std::memcmp(a.block_data + i, "%CDB", 4) == 0) {
      text += "%CDB";
      i += 3;
      continue;
    }
    std::snprintf(hex, sizeof hex, "%02X", a.block_data[i]);
    text += hex;
  }
  std::snprintf(hex, sizeof hex, "%02X", BlockXor(a));
  text += hex;
  return Format(buffer, "%s", text.c_str());
}

ResultCode BuildPlain(int number, Buffer buffer) {
  return Format(buffer, "$PKVN%03d", number);
}

}  // namespace

ResultCode CDeviceEngine::BuildCommand(int number, Buffer buffer) {
  const CommandArgs& a = args;
  switch (number) {
    case 1:
      if (!DateTimeValid(a)) return kResultBadArgument;
      return Format(buffer, "$PKVN001,%06ld,%08ld",
                    static_cast<long>(a.hour * 10000 + a.minute * 100 + a.second),
                    static_cast<long>(a.year * 10000L + a.month * 100 + a.day));
    case 2:
    case 3:
    case 4:
    case 100:
    case 107:
    case 108:
    case 111:
      return BuildPlain(number, buffer);
    case 101:
      if (a.header_index < 0 ||
          static_cast<uint32_t>(a.header_index) > Snapshot(config.track_header_count)) {
        return kResultBadArgument;
      }
      return Format(buffer, "$PKVN101,%ld", static_cast<long>(a.header_index));
    case 102:
      return Format(buffer, "$PKVN102,%ld,%d,%ld", static_cast<long>(a.request_address),
                    static_cast<int>(a.request_format), static_cast<long>(a.request_count));
    case 103:
      return Format(buffer, "$PKVN103,%d,%d", a.log_switch ? 1 : 0, a.nmea_switch ? 1 : 0);
    case 104:
      if (a.log_type >= 2 || a.data_type >= 3 || a.memory_full >= 2) return kResultBadArgument;
      return Format(buffer, "$PKVN104,%d,%ld,%d,%d", static_cast<int>(a.log_type),
                    static_cast<long>(a.log_interval), static_cast<int>(a.data_type),
                    static_cast<int>(a.memory_full));
    case 105:
      return Format(buffer, "$PKVN105,%ld", static_cast<long>(a.speed_filter));
    case 106:
      return BuildPosition(a, buffer);
    case 109:
      if (a.erase_value < -3 || a.erase_value > 65535) return kResultBadArgument;
      return Format(buffer, "$PKVN109,%ld", static_cast<long>(a.erase_value));
    case 110:
      if (a.alert_text_flag) return Format(buffer, "$PKVN110,1,0");
      return Format(buffer, "$PKVN110,0,%s", a.alert_text.substr(0, kAlertTextMax).c_str());
    case 113:
      return Format(buffer, "$PKVN113,%d", static_cast<int>(a.link_mode));
    case 114:
      return Format(buffer, "$PKVN114,%d,%d", static_cast<int>(a.poi_first),
                    static_cast<int>(a.poi_count));
    case 115:
      return Format(buffer, "$PKVN115,%d,%d", static_cast<int>(a.read_address),
                    static_cast<int>(a.read_count));
    case 116:
      return Format(buffer, "$PKVN116,%d,%d,%d,40", static_cast<int>(a.alert_values[0]),
                    static_cast<int>(a.alert_values[1]), static_cast<int>(a.alert_values[2]));
    case 999:
      return BuildBlockUpload(a, buffer);
    case kCommandVersion:
      return Format(buffer, "$PSRF107");
    default:
      return kResultUnknownCommand;
  }
}

// What sending a command changes in the engine beyond the line: the logger
// configuration follows what was last set, 114 remembers its kind, 999 its XOR.
void CDeviceEngine::ApplySentCommand(int number) {
  const CommandArgs& a = args;
  std::lock_guard<std::mutex> lock(answer_mutex);
  switch (number) {
    case 104:
      config.log_type = a.log_type;
      config.log_interval = a.log_interval;
      config.data_type = a.data_type;
      config.memory_full = a.memory_full;
      break;
    case 105:
      config.speed_filter = a.speed_filter;
      break;
    case 106:
      config.stored_latitude = a.position_latitude;
      config.stored_longitude = a.position_longitude;
      config.position_value = a.position_value;
      break;
    case 114:
      poi.count_query = a.poi_first == -1;
      break;
    case 999:
      block_upload_xor = BlockXor(a);
      break;
    default:
      break;
  }
}

ResultCode CDeviceEngine::SendCommand(int number) {
  char buffer[kCommandBufferSize] = {};
  ResultCode result = BuildCommand(number, buffer);
  if (result != kResultOk) return result;
  result = FrameSentence(buffer);
  if (result != kResultOk) return result;
  ApplySentCommand(number);
  if (!WriteSentence(buffer, std::strlen(buffer))) {
    ReportStatus(kStrSendFailed);
    return kResultWriteFailed;
  }
  return kResultOk;
}

void CDeviceEngine::SendQueuedCommands() {
  for (const QueuedCommand& q : kQueueOrder) {
    if ((queued_commands.load() & q.bit) == 0) continue;
    queued_commands.fetch_and(~q.bit);
    wake_.Notify();  // the operation's answer time starts now
    last_command = q.number;
    SendCommand(q.number);
  }
}

}  // namespace tessor
