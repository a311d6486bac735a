#include <algorithm>
#include <chrono>
#include <cstring>
#include <string_view>
#include <utility>

#include "engine/device_engine.h"
#include "engine/field_reader.h"
#include "engine/framing.h"
#include "engine/timing.h"

namespace tessor {

namespace {

// One received answer: its text and where the matched word starts.
struct Answer {
  std::string_view text;  // the text part (a data block's binary part excluded)
  std::string_view full;  // every stored byte
  size_t word = 0;
  // Fields start after the word, its three digits and the comma.
  FieldReader Fields() const { return FieldReader(text, word + 7); }
  char At(size_t i) const { return i < text.size() ? text[i] : '\0'; }
};

using Action = ResultCode (*)(CDeviceEngine&, const Answer&);

struct Rule {
  bool exact;
  std::string_view text;
  uint32_t a_bits;
  uint16_t b_bits;
  AnswerEvent event;  // kCount: none
  Action action;      // runs before the bits are set and the event signalled
};

constexpr AnswerEvent kNone = AnswerEvent::kCount;

void SplitDate(uint32_t v, uint16_t* year, uint8_t* month, uint8_t* day) {
  *year = static_cast<uint16_t>(v / 10000);
  *month = static_cast<uint8_t>((v % 10000) / 100);
  *day = static_cast<uint8_t>(v % 100);
}

ResultCode OnBusy(CDeviceEngine& e, const Answer& a) {
  e.busy_value = static_cast<uint8_t>(a.Fields().Unsigned());
  return kResultOk;
}

ResultCode OnLog001(CDeviceEngine& e, const Answer& a) {
  e.log001_value = static_cast<uint8_t>(a.Fields().Unsigned());
  return kResultOk;
}

ResultCode OnDateTime(CDeviceEngine& e, const Answer& a) {
  FieldReader f = a.Fields();
  DeviceDateTime& t = e.device_time;
  SplitDate(f.Unsigned(), &t.year, &t.month, &t.day);
  uint16_t hour = 0;
  SplitDate(f.Unsigned(), &hour, &t.minute, &t.second);
  t.hour = static_cast<uint8_t>(hour);
  return kResultOk;
}

ResultCode OnLog003(CDeviceEngine& e, const Answer& a) {
  e.log003_value = static_cast<uint8_t>(a.Fields().Unsigned());
  return kResultOk;
}

ResultCode OnBattery(CDeviceEngine& e, const Answer& a) {
  e.battery_value = static_cast<uint8_t>(a.Fields().Unsigned());
  return kResultOk;
}

ResultCode OnPositionReport(CDeviceEngine& e, const Answer& a) {
  FieldReader f = a.Fields();
  PositionReport& p = e.position_report;
  uint16_t hour = 0;
  SplitDate(f.Unsigned(), &p.when.year, &p.when.month, &p.when.day);
  SplitDate(f.Unsigned(), &hour, &p.when.minute, &p.when.second);
  p.when.hour = static_cast<uint8_t>(hour);
  p.latitude = static_cast<float>(f.Decimal() / 100.0);
  if (f.Text(1) == "S") p.latitude = -p.latitude;
  p.longitude = static_cast<float>(f.Decimal() / 100.0);
  if (f.Text(1) == "W") p.longitude = -p.longitude;
  p.extra1 = static_cast<float>(f.Decimal());
  p.extra2 = static_cast<float>(f.Decimal());
  return kResultOk;
}

ResultCode OnFlashUsage(CDeviceEngine& e, const Answer& a) {
  FieldReader f = a.Fields();
  e.flash_usage.value3 = f.Unsigned();
  e.flash_usage.value2 = f.Unsigned();
  e.flash_usage.value1 = static_cast<uint16_t>(f.Unsigned());
  e.flash_usage.used_percent = static_cast<uint8_t>(f.Unsigned());
  return kResultOk;
}

ResultCode OnTrackHeader(CDeviceEngine& e, const Answer& a) {
  FieldReader f = a.Fields();
  e.track_header.header_value = f.Unsigned();
  e.track_header.record_format = static_cast<uint8_t>(f.Unsigned());
  e.track_header.record_count = f.Unsigned();
  e.track_header.start_address = f.Unsigned();
  return kResultOk;
}

ResultCode OnStoredPosition(CDeviceEngine& e, const Answer& a) {
  FieldReader f = a.Fields();
  e.config.stored_latitude = static_cast<float>(f.Signed() * 0.000001);
  e.config.stored_longitude = static_cast<float>(f.Signed() * 0.000001);
  e.config.position_value = f.Signed();
  return kResultOk;
}

ResultCode OnConfiguration(CDeviceEngine& e, const Answer& a) {
  FieldReader f = a.Fields();
  LoggerConfig& c = e.config;
  c.data_type = static_cast<uint8_t>(f.Unsigned());
  c.position_value = f.Signed();
  c.memory_full = static_cast<uint8_t>(f.Unsigned());
  c.log_type = static_cast<uint8_t>(f.Unsigned());
  c.log_interval = f.Unsigned();
  c.value6 = f.Unsigned();
  c.speed_filter = f.Signed();
  c.track_header_count = f.Unsigned();
  for (uint32_t& v : c.value9_14) v = f.Unsigned();
  return kResultOk;
}

ResultCode OnBlockAck(CDeviceEngine& e, const Answer& a) {
  FieldReader f = a.Fields();
  f.Text();
  if (f.Text() != "1") return kResultOk;
  const auto received = static_cast<uint8_t>(HexTextToULong(f.Text()) & 0xFF);
  if (received == e.block_upload_xor.load()) e.Signal(AnswerEvent::kBlockAck);
  return kResultOk;
}

ResultCode OnLog110(CDeviceEngine& e, const Answer& a) {
  if (a.At(8) == '1') e.Signal(AnswerEvent::kLog110);
  return kResultOk;
}

ResultCode OnDeviceName(CDeviceEngine& e, const Answer& a) {
  FieldReader f(a.text, 8);
  const long n = TextToLong(f.Text());
  if (n > 0 && n < static_cast<long>(kDeviceNameSize)) e.device_name = f.Text(kDeviceNameSize - 1);
  e.Signal(AnswerEvent::kLog111);
  return kResultOk;
}

ResultCode OnLinkMode(CDeviceEngine& e, const Answer& a) {
  e.log113_result = a.At(8) == '1' ? 1 : 0;
  e.Signal(AnswerEvent::kLog113);
  return kResultOk;
}

ResultCode OnIdentification(CDeviceEngine& e, const Answer& a) {
  const size_t ver = a.text.find("Ver");
  if (ver == std::string_view::npos || ver + 10 >= a.text.size()) return kResultOk;
  e.firmware_version = static_cast<uint16_t>(TextToLong(a.text.substr(ver + 10, 3)));
  return kResultOk;
}

ResultCode OnCapacity(CDeviceEngine& e, const Answer& a) {
  size_t at = a.text.find("Capacity=");
  if (at == std::string_view::npos) at = a.word;
  const std::string field = FieldReader(a.text, at).Text();
  e.capacity = static_cast<int32_t>(field.size() > 9 ? TextToLong(field.substr(9)) : 0);
  e.Signal(AnswerEvent::kVersion);
  return kResultOk;
}

ResultCode OnReadAnswer(CDeviceEngine& e, const Answer& a) {
  e.StoreReadAnswer(a.text.substr(a.word));
  return kResultOk;
}

ResultCode OnPositionFirst(CDeviceEngine& e, const Answer& a) {
  e.StorePositionSentence(FramedSentence(a.text), true);
  return kResultOk;
}

ResultCode OnPositionNext(CDeviceEngine& e, const Answer& a) {
  e.StorePositionSentence(FramedSentence(a.text), false);
  return kResultOk;
}

ResultCode OnDataBlock(CDeviceEngine& e, const Answer& a);
ResultCode OnPoiAnswer(CDeviceEngine& e, const Answer& a);

// First match wins; the order is part of the protocol.
constexpr Rule kRules[] = {
    {true, "$LOG101,0", flag_a::kLog101None, 0, AnswerEvent::kLog101, nullptr},
    {true, "$LOG103,1", flag_a::kLog103Ok, 0, AnswerEvent::kLog103, nullptr},
    {true, "$LOG103,0", flag_a::kLog103Refused, 0, AnswerEvent::kLog103, nullptr},
    {true, "$LOG104,0", flag_a::kLog104Refused, 0, kNone, nullptr},
    {true, "$LOG104,1", flag_a::kLog104Ok, 0, kNone, nullptr},
    {true, "$LOG116,0", flag_a::kLog116Refused, 0, kNone, nullptr},
    {false, "PSRFTXTSave", flag_a::kAlertSaved, flag_b::kConfiguration, kNone, nullptr},
    {true, "$LOG105,1", flag_a::kLog105Ok, 0, kNone, nullptr},
    {true, "$LOG105,0", flag_a::kLog105Refused, 0, kNone, nullptr},
    {true, "$LOG106,1", flag_a::kLog106Ok, 0, kNone, nullptr},
    {true, "$LOG106,0", flag_a::kLog106Refused, 0, kNone, nullptr},
    {true, "$LOG109,1", flag_a::kLog109Ok, 0, kNone, nullptr},
    {true, "$LOG109,0", flag_a::kLog109Refused, 0, kNone, nullptr},
    {false, "LOG000", 0, flag_b::kBusy, kNone, OnBusy},
    {false, "LOG001", 0, flag_b::kLog001, kNone, OnLog001},
    {false, "LOG002", 0, flag_b::kDateTime, kNone, OnDateTime},
    {false, "LOG003", 0, flag_b::kLog003, kNone, OnLog003},
    {false, "LOG004", 0, flag_b::kBattery, kNone, OnBattery},
    {false, "LOG005", 0, flag_b::kPositionReport, kNone, OnPositionReport},
    {false, "LOG100", 0, flag_b::kFlashUsage, AnswerEvent::kLog100, OnFlashUsage},
    {false, "LOG101", 0, flag_b::kTrackHeader, AnswerEvent::kLog101, OnTrackHeader},
    {false, "LOG102", 0, 0, kNone, OnDataBlock},
    {false, "LOG107", 0, flag_b::kStoredPosition, kNone, OnStoredPosition},
    {false, "LOG108", 0, flag_b::kConfiguration, AnswerEvent::kLog108, OnConfiguration},
    {false, "LOG999", 0, 0, kNone, OnBlockAck},
    {false, "LOG110", 0, 0, kNone, OnLog110},
    {false, "LOG111", 0, 0, kNone, OnDeviceName},
    {false, "LOG113", 0, 0, kNone, OnLinkMode},
    {false, "PSRFTXTErase now", 0, 0, AnswerEvent::kEraseDone, nullptr},
    {false, "LOG114", 0, 0, kNone, OnPoiAnswer},
    {false, "LOG115", 0, 0, AnswerEvent::kLog115, OnReadAnswer},
    {false, "Varnelco", 0, 0, kNone, OnIdentification},
    {false, "Capacity", 0, 0, kNone, OnCapacity},
    {false, "GPGGA", 0, flag_b::kPositionText, kNone, OnPositionFirst},
    {false, "GPGSA", 0, flag_b::kPositionText, kNone, OnPositionNext},
    {false, "GPGSV", 0, flag_b::kPositionText, kNone, OnPositionNext},
    {false, "GPRMC", 0, flag_b::kPositionText, kNone, OnPositionNext},
};

// Taking one block into the transfer buffer, only where it fits the track and
// the request: a device that sends more than was asked for must not write past
// the buffer.
void TakeBlock(CDeviceEngine& e, const uint8_t* payload, uint8_t length) {
  TransferState& t = e.transfer;
  if (static_cast<size_t>(t.write_offset) + length > t.buffer.size() ||
      static_cast<uint64_t>(t.bytes_received) + length > t.bytes_expected) {
    ++t.oversize_blocks;
    return;
  }
  // An empty block of an empty track: the buffer may have no storage at all.
  if (length > 0) std::memcpy(t.buffer.data() + t.write_offset, payload, length);
  t.bytes_received += length;
  t.track_bytes += length;
  t.overall_received.fetch_add(length);
  t.write_offset += length;
}

struct DataBlock {
  uint16_t index = 0;
  uint8_t length = 0;
  const uint8_t* payload = nullptr;
};

// False for a block cut short or whose length or index is out of range.
bool ParseDataBlock(std::string_view s, DataBlock* b) {
  if (s.size() < 11) return false;
  const auto* bytes = reinterpret_cast<const uint8_t*>(s.data());
  b->index = static_cast<uint16_t>(bytes[8] | (bytes[9] << 8));
  b->length = bytes[10];
  b->payload = bytes + 11;
  return b->length <= kMaxBlockPayload && b->index <= kMaxBlockIndex && s.size() >= 11u + b->length;
}

ResultCode OnDataBlock(CDeviceEngine& e, const Answer& a) {
  const std::string_view s = a.full;
  if (e.ignore_blocks.load()) {
    e.ClearA(flag_a::kLog102Refused);
    e.ClearB(flag_b::kTransferComplete);
    return kResultOk;
  }
  std::lock_guard<std::mutex> lock(e.transfer_mutex);
  TransferState& t = e.transfer;
  t.last_block_ns = std::chrono::steady_clock::now().time_since_epoch().count();
  const bool refusal = s.size() == 10 && s[8] == '0' && s[9] == '*';
  DataBlock block;
  const bool valid = !refusal && ParseDataBlock(s, &block);
  // Counted even while dropped: the download learns from it which answers are still owed.
  if (refusal) t.answers.Refused();
  if (valid) t.answers.Block(block.index, block.length, t.bytes_expected);
  if (t.discard) return kResultOk;
  if (refusal) {
    e.SetA(flag_a::kLog102Refused);
    e.ClearB(flag_b::kTransferComplete);
    t.error = true;
    e.Signal(AnswerEvent::kLog102);
    e.transport().Pause(timing::kRefusalPauseMs);
    return kResultOk;
  }
  if (!valid) {
    if (s.size() >= 11) {
      e.ClearA(flag_a::kLog102Refused);
      e.ClearB(flag_b::kTransferComplete);
    }
    return kResultOk;
  }
  const uint16_t index = block.index;
  if (!t.first_seen && index == 0) {
    t.first_seen = true;
  } else {
    if (!t.first_seen || t.complete || t.bytes_received > t.bytes_expected) return kResultOk;
    if (index != static_cast<uint16_t>(t.last_index + 1)) {
      t.error = true;
      e.Signal(AnswerEvent::kLog102);
      return kResultBlockOutOfOrder;
    }
    t.last_index = index;
  }
  TakeBlock(e, block.payload, block.length);
  if (t.bytes_received == t.bytes_expected) {
    e.SetB(flag_b::kTransferComplete);
    t.complete = true;
    t.error = false;
    e.Signal(AnswerEvent::kLog102);
  }
  return kResultOk;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

ResultCode OnPoiAnswer(CDeviceEngine& e, const Answer& a) {
  FieldReader f = a.Fields();
  PoiRead& p = e.poi;
  if (p.count_query) {
    const uint32_t n = f.Unsigned();
    p.count = f.Unsigned();
    if (n != 0) p.second_count = f.Unsigned();
  } else {
    p.records_in_answer = f.Unsigned();
    if (p.records_in_answer == 0) {
      e.SetA(flag_a::kPoiNone);
      e.Signal(AnswerEvent::kLog114);
      return kResultNoSuchRecord;
    }
    // At most the room of the POI block, whatever count was requested.
    const size_t want = std::min<size_t>(size_t{e.args.poi_count} * kPoiRecordSize, kPoiBlockSize);
    size_t pos = f.position(), got = 0;
    while (got < want && pos + 1 < a.text.size()) {
      const int hi = HexDigit(a.text[pos]), lo = HexDigit(a.text[pos + 1]);
      if (hi < 0 || lo < 0) break;
      p.block[got++] = static_cast<uint8_t>(hi * 16 + lo);
      pos += 2;
    }
    p.block_bytes = got;
  }
  // The answer is whole: flag it, then wake the waiting operation.
  e.SetA(flag_a::kPoiAnswer);
  e.Signal(AnswerEvent::kLog114);
  return kResultOk;
}

}  // namespace

void CDeviceEngine::StorePositionSentence(std::string_view framed, bool replace) {
  if (framed.empty()) return;
  std::lock_guard<std::mutex> lock(position_mutex_);
  if (replace) {
    if (framed.size() < kPositionTextSize) position_text_.assign(framed);
    return;
  }
  if (position_text_.size() + framed.size() < kPositionTextSize) position_text_.append(framed);
}

void CDeviceEngine::StoreReadAnswer(std::string_view text) {
  std::lock_guard<std::mutex> lock(read_answer_mutex_);
  read_answer_.assign(text);
}

std::string CDeviceEngine::TakeReadAnswer() {
  std::lock_guard<std::mutex> lock(read_answer_mutex_);
  // Taken answers leave nothing behind: an empty text means none is waiting.
  return std::exchange(read_answer_, std::string());
}

std::string CDeviceEngine::position_text() const {
  std::lock_guard<std::mutex> lock(position_mutex_);
  return position_text_;
}

ResultCode CDeviceEngine::DispatchAnswer(const char* sentence, size_t length) {
  Answer a;
  a.full = std::string_view(sentence, length);
  // Only the text is searched: a data block's binary part could hold any word.
  a.text = a.full.substr(0, ::strnlen(sentence, length));
  if (a.full.substr(0, 7) == "$LOG102") a.text = a.text.substr(0, 8);
  for (const Rule& rule : kRules) {
    if (rule.exact) {
      if (a.text != rule.text) continue;
    } else {
      a.word = a.text.find(rule.text);
      if (a.word == std::string_view::npos) continue;
    }
    ResultCode result = kResultOk;
    if (rule.action == OnDataBlock) {
      result = OnDataBlock(*this, a);
      wake_.Notify();  // a download waiting for owed answers counts every block
    } else if (rule.action != nullptr) {
      std::lock_guard<std::mutex> lock(answer_mutex);
      result = rule.action(*this, a);
    }
    if (result != kResultOk) return result;
    if (rule.a_bits != 0) SetA(rule.a_bits);
    if (rule.b_bits != 0) SetB(rule.b_bits);
    if (rule.event != kNone) Signal(rule.event);
    return kResultOk;
  }
  return kResultOk;
}

}  // namespace tessor
