// The receiver and the dispatcher, fed in chunks the input chooses, with the
// counted data-block mode armed and every field reader run over each sentence.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/device_engine.h"
#include "engine/field_reader.h"
#include "engine/timing.h"
#include "fuzz/fuzz_input.h"

namespace {

using tessor::FieldReader;

void Require(bool condition) {
  if (!condition) std::abort();
}

// Reads fields in an order taken from the sentence's own bytes, until the end.
void ReadFields(std::string_view text, size_t start, uint8_t order) {
  FieldReader f(text, start);
  for (int i = 0; i < 64 && !f.at_end(); ++i) {
    const size_t before = f.position();
    switch ((order + i) % 4) {
      case 0:
        f.Unsigned();
        break;
      case 1:
        f.Signed();
        break;
      case 2:
        f.Decimal();
        break;
      default: {
        const size_t limit = (order >> 2) % 17;
        Require(f.Text(limit).size() <= limit);
      }
    }
    // Every reader moves on, except that text stops at the "*" before a checksum.
    Require(f.position() > before || text[before] == '*');
  }
  tessor::TextToLong(text);
  tessor::HexTextToULong(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tessor::TimingScale::Set(0.0);  // a refusal's pause shrinks to 1 ms
  tessor::fuzz::Input in(data, size);
  const uint8_t mode = in.Byte();
  tessor::CDeviceEngine engine;
  engine.receiver.set_verify_checksum((mode & 1) != 0);
  engine.ignore_blocks = (mode & 2) != 0;
  engine.poi.count_query = (mode & 4) != 0;
  engine.args.poi_count = in.Byte();
  // A small track, and a request that may claim more than the track holds.
  const uint32_t track = in.U32() % 4096;
  engine.transfer.BeginTrack(track);
  engine.transfer.BeginRequest(in.U32() % 8192);
  engine.receiver.SetSentenceHandler([&](const char* sentence, size_t length) {
    Require(length < tessor::kSentenceBufferSize);
    engine.DispatchAnswer(sentence, length);
    const std::string_view text(sentence, length);
    ReadFields(text, length > 0 ? static_cast<uint8_t>(sentence[length - 1]) % 12 : 0,
               static_cast<uint8_t>(length));
  });
  while (!in.empty()) {
    const auto chunk = in.Chunk();
    engine.receiver.Feed(
        std::string_view(reinterpret_cast<const char*>(chunk.data()), chunk.size()));
    const tessor::TransferState& t = engine.transfer;
    Require(engine.receiver.length() < tessor::kSentenceBufferSize);
    Require(t.write_offset <= t.buffer.size());
    Require(t.bytes_received <= t.bytes_expected);
    Require(engine.poi.block_bytes <= sizeof engine.poi.block);
  }
  Require(engine.position_text().size() < tessor::kPositionTextSize);
  Require(engine.device_name.size() < tessor::kDeviceNameSize);
  engine.TakeReadAnswer();
  return 0;
}
