#include "tools/cli/trace_decode.h"

#include <cstdio>
#include <map>
#include <string_view>

#include "engine/timing.h"

namespace tessor::cli {

namespace {

using trace::Direction;

constexpr std::string_view kBlockStart = "$LOG102,";
constexpr size_t kBlockFirstBytes = 8;

struct Wait {
  int ms;
  const char* name;
};
// The answer waits a silence is measured against, shortest first.
constexpr Wait kWaits[] = {
    {timing::kBlockAckWaitMs, "block acknowledgement wait"},
    {timing::kConfigWaitMs, "configuration wait"},
    {timing::kReadPieceWaitMs, "read piece wait"},
    {timing::kTrackHeaderWaitMs, "track header wait"},
};

const std::map<int, std::string_view>& CommandNames() {
  static const std::map<int, std::string_view> names = {{0, "busy report"},
                                                        {1, "date and time"},
                                                        {2, "date and time"},
                                                        {3, "log switch"},
                                                        {4, "battery"},
                                                        {100, "flash usage"},
                                                        {101, "track header"},
                                                        {102, "track data"},
                                                        {103, "log and NMEA switches"},
                                                        {104, "logger configuration"},
                                                        {105, "speed filter"},
                                                        {106, "stored position"},
                                                        {107, "stored position"},
                                                        {108, "configuration"},
                                                        {109, "erase log"},
                                                        {110, "alert text"},
                                                        {111, "device name"},
                                                        {113, "link mode"},
                                                        {114, "POI count"},
                                                        {115, "database read"},
                                                        {116, "alert ranges"},
                                                        {999, "database block upload"}};
  return names;
}

// "$PKVN101,0" is command 101, "$LOG101,..." its answer.
std::string Meaning(std::string_view text, Direction direction) {
  const bool host = direction == Direction::kHost;
  const std::string_view prefix = host ? "$PKVN" : "$LOG";
  if (text.starts_with("$PSRF107")) return "identification request";
  if (text.starts_with("$PSRFTXT")) return "device text";
  if (text.starts_with("$GPGGA") || text.starts_with("$GPRMC")) return "NMEA position";
  if (!text.starts_with(prefix) || text.size() < prefix.size() + 3) return "unknown sentence";
  int number = 0;
  for (char c : text.substr(prefix.size(), 3)) {
    if (c < '0' || c > '9') return "unknown sentence";
    number = number * 10 + (c - '0');
  }
  const auto it = CommandNames().find(number);
  const std::string name = it != CommandNames().end() ? std::string(it->second) : "unknown";
  const std::string kind = number == 0 ? "" : host ? " command" : " answer";
  char label[16];
  std::snprintf(label, sizeof label, "%03d ", number);
  return label + name + kind;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Hex(uint8_t value) {
  char text[4];
  std::snprintf(text, sizeof text, "%02X", value);
  return text;
}

// The two sums the receiver accepts: every byte after the leading "$", or
// (data blocks only) every byte except "$" bytes.
struct Sums {
  uint8_t all = 0;
  uint8_t dollar_free = 0;
};

Sums SumsOf(std::string_view body) {
  Sums s;
  for (char c : body.substr(1)) {
    s.all ^= static_cast<uint8_t>(c);
    if (c != '$') s.dollar_free ^= static_cast<uint8_t>(c);
  }
  return s;
}

struct Totals {
  uint64_t bytes[2] = {0, 0};
  uint64_t sentences[2] = {0, 0};
  uint64_t blocks = 0;
  uint64_t dropped = 0;
  uint64_t noise = 0;
  uint64_t unfinished = 0;
};

// Cuts one direction's byte stream into sentences; reads may split them.
class Splitter {
 public:
  Splitter(Direction direction, Totals& totals, std::string& out)
      : direction_(direction), totals_(totals), out_(out) {}

  void Feed(long long ms, std::string_view bytes) {
    if (pending_.empty()) start_ms_ = ms;
    pending_ += bytes;
    // A sentence that begins inside this read began at its time.
    while (Next()) start_ms_ = ms;
  }
  void Finish() { totals_.unfinished += pending_.size(); }

 private:
  int Index() const { return direction_ == Direction::kHost ? 0 : 1; }

  // False when the rest has to wait for more bytes.
  bool Next() {
    const size_t dollar = pending_.find('$');
    if (dollar == std::string::npos || dollar > 0) {
      totals_.noise += dollar == std::string::npos ? pending_.size() : dollar;
      pending_.erase(0, dollar);
      if (pending_.empty()) return false;
    }
    const size_t end = SentenceEnd();
    if (end == std::string::npos) return false;
    Emit(std::string_view(pending_).substr(0, end));
    pending_.erase(0, end);
    return true;
  }

  // The length of the sentence at the front, or npos while it is incomplete.
  size_t SentenceEnd() const {
    if (direction_ == Direction::kDevice && pending_.starts_with(kBlockStart)) {
      const size_t head = kBlockStart.size();
      if (pending_.size() < head + 2) return std::string::npos;
      // "$LOG102,0*": the short refusal is an ordinary sentence.
      if (pending_[head + 1] != '*') {
        if (pending_.size() < head + 3) return std::string::npos;
        const size_t length = static_cast<uint8_t>(pending_[head + 2]);
        const size_t total = head + 3 + length + 1 + 2 + 2;
        return pending_.size() < total ? std::string::npos : total;
      }
    }
    const size_t lf = pending_.find('\n');
    return lf == std::string::npos ? lf : lf + 1;
  }

  void Emit(std::string_view sentence) {
    const int i = Index();
    ++totals_.sentences[i];
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "%8lld ms  %c  ", start_ms_, static_cast<char>(direction_));
    const bool block = direction_ == Direction::kDevice && sentence.starts_with(kBlockStart) &&
                       sentence.size() > kBlockStart.size() + 1 &&
                       sentence[kBlockStart.size() + 1] != '*';
    out_ += stamp + (block ? BlockLine(sentence) : SentenceLine(sentence)) + "\n";
  }

  std::string SentenceLine(std::string_view sentence) {
    const size_t star = sentence.rfind('*');
    const std::string_view body = sentence.substr(0, star);
    std::string line = trace::Escape(body) + "  " + Meaning(body, direction_);
    if (star == std::string_view::npos || star + 3 > sentence.size() ||
        HexValue(sentence[star + 1]) < 0 || HexValue(sentence[star + 2]) < 0) {
      ++totals_.dropped;
      return line + "  no checksum";
    }
    const auto carried =
        static_cast<uint8_t>(HexValue(sentence[star + 1]) * 16 + HexValue(sentence[star + 2]));
    const uint8_t computed = SumsOf(body).all;
    if (carried == computed) return line + "  checksum good";
    ++totals_.dropped;
    return line + "  checksum bad (carries " + Hex(carried) + ", sum " + Hex(computed) + ")";
  }

  std::string BlockLine(std::string_view sentence) {
    ++totals_.blocks;
    const size_t head = kBlockStart.size();
    const auto index = static_cast<unsigned>(static_cast<uint8_t>(sentence[head]) +
                                             static_cast<uint8_t>(sentence[head + 1]) * 256);
    const size_t length = static_cast<uint8_t>(sentence[head + 2]);
    const std::string_view payload = sentence.substr(head + 3, length);
    std::string line =
        "$LOG102 block " + std::to_string(index) + ", " + std::to_string(length) + " bytes:";
    for (size_t k = 0; k < payload.size() && k < kBlockFirstBytes; ++k) {
      line += " " + Hex(static_cast<uint8_t>(payload[k]));
    }
    if (payload.size() > kBlockFirstBytes) line += " ...";
    line += "  track data block";
    const std::string_view tail = sentence.substr(head + 3 + length);
    const int high = tail.size() >= 3 ? HexValue(tail[1]) : -1;
    const int low = tail.size() >= 3 ? HexValue(tail[2]) : -1;
    if (tail.empty() || tail[0] != '*' || high < 0 || low < 0) {
      ++totals_.dropped;
      return line + "  no checksum";
    }
    const auto carried = static_cast<uint8_t>(high * 16 + low);
    const Sums sums = SumsOf(sentence.substr(0, head + 3 + length));
    const bool all = carried == sums.all, dollar_free = carried == sums.dollar_free;
    if (!all && !dollar_free) ++totals_.dropped;
    return line + "  checksum " + (all ? "good" : "bad") + " over all bytes, " +
           (dollar_free ? "good" : "bad") + " without \"$\" bytes";
  }

  Direction direction_;
  Totals& totals_;
  std::string& out_;
  std::string pending_;
  long long start_ms_ = 0;
};

std::string GapLine(long long from, long long to) {
  const long long gap = to - from;
  const Wait* exceeded = nullptr;
  for (const Wait& wait : kWaits) {
    if (gap > wait.ms) exceeded = &wait;
  }
  if (exceeded == nullptr) return "";
  char text[160];
  std::snprintf(text, sizeof text, "%8lld ms     silence of %lld ms, longer than the %s (%d ms)\n",
                from, gap, exceeded->name, exceeded->ms);
  return text;
}

std::string Summary(const Totals& t, long long first_ms, long long last_ms) {
  const long long span = last_ms - first_ms;
  const uint64_t bytes = t.bytes[0] + t.bytes[1];
  char rate[64];
  if (span > 0) {
    std::snprintf(rate, sizeof rate, "%.0f bytes/s", static_cast<double>(bytes) * 1000.0 / span);
  } else {
    std::snprintf(rate, sizeof rate, "-");
  }
  std::string out = "summary\n";
  out += "host to device\t" + std::to_string(t.bytes[0]) + " bytes, " +
         std::to_string(t.sentences[0]) + " sentences\n";
  out += "device to host\t" + std::to_string(t.bytes[1]) + " bytes, " +
         std::to_string(t.sentences[1]) + " sentences, " + std::to_string(t.blocks) +
         " data blocks\n";
  out += "drops\t" + std::to_string(t.dropped) + " sentences with a bad or missing checksum, " +
         std::to_string(t.noise) + " bytes outside sentences, " + std::to_string(t.unfinished) +
         " bytes of unfinished sentences\n";
  out += "duration\t" + std::to_string(span) + " ms\n";
  out += "mean rate\t" + std::string(rate) + "\n";
  return out;
}

}  // namespace

std::string DecodeTrace(const std::vector<trace::Line>& lines) {
  std::string out;
  Totals totals;
  Splitter host(Direction::kHost, totals, out);
  Splitter device(Direction::kDevice, totals, out);
  long long first_ms = -1, last_ms = 0;
  for (const trace::Line& line : lines) {
    if (line.direction == Direction::kNote) {
      char stamp[32];
      std::snprintf(stamp, sizeof stamp, "%8lld ms  !  ", line.ms);
      out += stamp + trace::Escape(line.bytes) + "\n";
      continue;
    }
    if (first_ms >= 0) out += GapLine(last_ms, line.ms);
    if (first_ms < 0) first_ms = line.ms;
    last_ms = line.ms;
    const bool from_host = line.direction == Direction::kHost;
    totals.bytes[from_host ? 0 : 1] += line.bytes.size();
    (from_host ? host : device).Feed(line.ms, line.bytes);
  }
  host.Finish();
  device.Finish();
  return out + Summary(totals, first_ms < 0 ? 0 : first_ms, last_ms);
}

}  // namespace tessor::cli
