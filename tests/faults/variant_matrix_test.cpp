// The variant matrix: every device operation against each behaviour that the
// protocol leaves open and real firmware may differ in, alone and in the pairs
// that can meet. Each cell must end with the device's data, right.
#include <string>
#include <vector>

#include "engine/timing.h"
#include "operation_rig.h"

namespace tessor {
namespace {

using namespace test;

enum class Variant {
  kNone,
  kSkipDollar,   // data-block checksums skip every "$" byte
  kStrictModes,  // commands acted on only in their mode
  kLatency,      // every answer 100 ms after its command (a Bluetooth link)
  kChunks,       // bytes in bursts of 16 with 30 ms between them
  kPositions,    // position sentences between answers, also in link mode
  kOldFirmware,  // firmware below 209: 32-byte upload blocks
};

struct Cell {
  Op op;
  std::vector<Variant> variants;
};

const char* VariantName(Variant v) {
  static const char* const kNames[] = {"Plain",  "SkipDollar", "StrictModes", "Latency",
                                       "Chunks", "Positions",  "OldFirmware"};
  return kNames[static_cast<int>(v)];
}

void Apply(Variant v, devsim::Scenario* s) {
  switch (v) {
    case Variant::kNone:
      break;
    case Variant::kSkipDollar:
      s->variant.block_checksum = devsim::BlockChecksum::kSkipDollar;
      break;
    case Variant::kStrictModes:
      s->variant.strict_modes = true;
      break;
    case Variant::kLatency:
      s->variant.latency_ms = 100;
      break;
    case Variant::kChunks:
      s->variant.chunk = devsim::Chunk{16, 30};
      break;
    case Variant::kPositions:
      s->variant.unsolicited_nmea_ms = 150;
      break;
    case Variant::kOldFirmware:
      s->firmware = 208;
      break;
  }
}

bool SlowLink(const Cell& cell) {
  for (Variant v : cell.variants)
    if (v == Variant::kLatency || v == Variant::kChunks) return true;
  return false;
}

class VariantMatrix : public OperationRig, public ::testing::WithParamInterface<Cell> {};

TEST_P(VariantMatrix, EndsWithTheDevicesDataAndNothingRunning) {
  const Cell cell = GetParam();
  devsim::Scenario s = BaseDevice(cell.op);
  for (Variant v : cell.variants) Apply(v, &s);
  // A slow link meets the protocol's own waits, not the scaled ones.
  if (SlowLink(cell)) TimingScale::Set(1.0);
  StartDevice(s, SlowLink(cell));
  const bool succeeded = Run(cell.op, s);
  SCOPED_TRACE("status lines:" + Lines());
  EXPECT_TRUE(workers_ended_) << "a worker thread outlived the bound";
  EXPECT_TRUE(succeeded) << "the operation should work with this device";
  EXPECT_FALSE(FailureReported(cell.op)) << "a failure was reported";
  CheckData(cell.op, s, succeeded);
  if (cell.op == Op::kUpload && succeeded) {
    // What was uploaded reads back byte for byte.
    EXPECT_TRUE(ReadBack()) << "the read-back failed";
    EXPECT_TRUE(ReadText(DataFile("DLDB.bin")) == std::string(image_.begin(), image_.end()))
        << "the read-back differs from the image";
  }
  // Nothing the device said was dropped for its framing: only a line fault drops.
  EXPECT_EQ(engine_.receiver.checksum_drops(), 0u);
  CheckNothingLeftRunning();
}

std::vector<Cell> Cells() {
  using V = Variant;
  // Every variant alone with every operation, on a paced line at real timing
  // where the link is slow.
  std::vector<Cell> cells;
  for (Op op : {Op::kConnect, Op::kUpload, Op::kDownload, Op::kTracks}) {
    for (V v :
         {V::kNone, V::kSkipDollar, V::kStrictModes, V::kLatency, V::kChunks, V::kPositions}) {
      cells.push_back({op, {v}});
    }
  }
  // The pairs that can meet: where both touch what the operation exchanges.
  cells.push_back({Op::kTracks, {V::kSkipDollar, V::kChunks}});    // blocks cut in bursts
  cells.push_back({Op::kTracks, {V::kPositions, V::kChunks}});     // positions among blocks
  cells.push_back({Op::kTracks, {V::kStrictModes, V::kLatency}});  // the mode answer late
  cells.push_back({Op::kUpload, {V::kStrictModes, V::kLatency}});
  cells.push_back({Op::kDownload, {V::kStrictModes, V::kPositions}});
  cells.push_back({Op::kConnect, {V::kLatency, V::kChunks}});
  // The block size of older firmware matters only to an upload.
  cells.push_back({Op::kUpload, {V::kOldFirmware}});
  cells.push_back({Op::kUpload, {V::kOldFirmware, V::kChunks}});
  return cells;
}

INSTANTIATE_TEST_SUITE_P(Cells, VariantMatrix, ::testing::ValuesIn(Cells()),
                         [](const ::testing::TestParamInfo<Cell>& info) {
                           std::string name = OpName(info.param.op);
                           for (Variant v : info.param.variants)
                             name += std::string("_") + VariantName(v);
                           return name;
                         });

}  // namespace
}  // namespace tessor
