// The fault matrix: every device operation against the simulator with each of
// its faults. A cell may end in success or in a reported failure, but never in
// wrong data passed off as right, a thread left running or a port left open
// after the link is gone.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <utility>

#include "engine/string_table.h"
#include "logger/log_record.h"
#include "logger/nmea_conversion.h"
#include "operation_rig.h"

namespace tessor {
namespace {

using namespace test;

enum class Fault {
  kNone,
  kNoAnswer,
  kBusyStorm,
  kGarbage,
  kChecksums,
  kBadAckXor,
  kBlockGaps,
  kRefusals,
  kBinaryPairs,
  kVanish,
};
// What the cell must end in.
enum class Expect {
  kSuccess,   // the operation completes with the right data
  kReported,  // success, or a failure the user is told about
  kLinkGone,  // the link ends (port closed, the user told), unless the fault never fired
};

struct Cell {
  Op op;
  Fault fault;
  Expect expect;
};

const char* FaultName(Fault f) {
  static const char* const kNames[] = {"NoFault",     "NoAnswer",  "BusyStorm", "Garbage",
                                       "Checksums",   "BadAckXor", "BlockGaps", "Refusals",
                                       "BinaryPairs", "Vanish"};
  return kNames[static_cast<int>(f)];
}

// The command whose answer each operation cannot do without.
int KeyCommand(Op op) {
  switch (op) {
    case Op::kConnect:
      return 100;
    case Op::kUpload:
      return 999;
    case Op::kDownload:
      return 115;
    case Op::kTracks:
      return 102;
  }
  return 0;
}

// Where in the device's bytes each operation runs with this device: the
// connect sends about 360 bytes; then the upload about 220, the database
// download about 1140 and the track download about 4700 (a cell that no
// longer meets its fault says so).
std::pair<uint32_t, uint32_t> VanishRange(Op op) {
  switch (op) {
    case Op::kConnect:
      return {40, 330};
    case Op::kUpload:
      return {380, 560};
    case Op::kDownload:
      return {380, 1450};
    case Op::kTracks:
      return {380, 5000};
  }
  return {0, 0};
}

class FaultMatrix : public OperationRig, public ::testing::WithParamInterface<Cell> {
 protected:
  devsim::Scenario Device(const Cell& cell) {
    devsim::Scenario s = BaseDevice(cell.op);
    devsim::Faults& f = s.faults;
    const int key = KeyCommand(cell.op);
    switch (cell.fault) {
      case Fault::kNone:
        break;
      case Fault::kNoAnswer:
        f.silent = {{key, 1000}};
        break;
      case Fault::kBusyStorm:
        // Connect's storm falls on the header queries, the others' on their key command.
        f.busy = {{cell.op == Op::kConnect ? 101 : key, 6}};
        break;
      case Fault::kGarbage:
        f.garbage_between_sentences = 24;
        break;
      case Fault::kChecksums:
        // A connect alone brings about ten sentences.
        f.corrupt_checksum_every = 7;
        break;
      case Fault::kBadAckXor:
        f.bad_ack_xor = {0, 2, 3};
        break;
      case Fault::kBlockGaps:
        f.stop_blocks_after = 1000;
        f.stop_blocks_requests = {1, 2};
        break;
      case Fault::kRefusals:
        f.refuse_requests = {1, 3};
        break;
      case Fault::kBinaryPairs:
        f.binary_protocol_pairs = 8;
        break;
      case Fault::kVanish: {
        // A random moment inside the operation's own answers, reproducible
        // from the seed printed with a failure.
        const auto [first, last] = VanishRange(cell.op);
        std::mt19937 random(seed_);
        f.vanish_after_bytes = std::uniform_int_distribution<uint32_t>(first, last)(random);
        break;
      }
    }
    return s;
  }

  // The cell's fault took effect: a cell that never meets it repeats the
  // no-fault case and proves nothing.
  bool FaultMet(const Cell& cell) const {
    const std::string t = sim_->TranscriptText();
    const auto device_said = [&](const std::string& text) {
      return t.find(" D " + text) != std::string::npos;
    };
    switch (cell.fault) {
      case Fault::kNone:
        return true;
      case Fault::kNoAnswer:
        return t.find(" H $PKVN" + std::to_string(KeyCommand(cell.op))) != std::string::npos;
      case Fault::kBusyStorm:
        return device_said("$LOG000,1");
      case Fault::kGarbage:
        // Noise goes out on its own, as a device line that is no sentence.
        for (size_t at = t.find(" D "); at != std::string::npos; at = t.find(" D ", at + 3))
          if (t[at + 3] != '$') return true;
        return false;
      case Fault::kChecksums:
        return engine_.receiver.checksum_drops() > 0;
      case Fault::kBadAckXor:
        return device_said("$LOG999,0,1,");  // the acknowledgement of block 0
      case Fault::kBlockGaps:
        return t.find(" H $PKVN102,") != std::string::npos;  // request 1 stops early
      case Fault::kRefusals:
        return device_said("$LOG102,0*");
      case Fault::kBinaryPairs:
        return engine_.receiver.binary_sync_count() > 0;
      case Fault::kVanish:
        return sim_->vanished();
    }
    return false;
  }

  uint32_t seed_ = 0;
};

TEST_P(FaultMatrix, EndsRightOrReportsAndLeavesNothingRunning) {
  const Cell cell = GetParam();
  seed_ = static_cast<uint32_t>(std::random_device{}());
  SCOPED_TRACE("seed " + std::to_string(seed_));
  const devsim::Scenario s = Device(cell);
  StartDevice(s);
  const bool succeeded = Run(cell.op, s);
  EXPECT_TRUE(workers_ended_) << "a worker thread outlived the bound";
  const bool failed = FailureReported(cell.op);
  SCOPED_TRACE("status lines:" + Lines());

  if (cell.expect == Expect::kSuccess) {
    EXPECT_TRUE(succeeded) << "the operation should succeed";
  }
  if (!succeeded) {
    EXPECT_TRUE(failed) << "a failure nobody was told about";
  }
  if (succeeded && cell.op != Op::kTracks) {
    EXPECT_FALSE(failed) << "told both success and failure";
  }
  CheckData(cell.op, s, succeeded);
  EXPECT_TRUE(FaultMet(cell)) << "the operation never met the fault";

  const bool link_gone = sim_->vanished() || engine_.receiver.binary_sync_count() >
                                                 SentenceReceiver::kBinaryPairsTolerated;
  if (cell.expect == Expect::kLinkGone && link_gone) {
    // Nobody calls Disconnect: the lost link alone closes the port.
    EXPECT_TRUE(WaitFor([&] { return !engine_.ThreadRunning(CDeviceEngine::kSlotLink); }, kBoundMs))
        << "the link thread outlived the link";
    EXPECT_TRUE(WaitFor([&] { return (engine_.link_status.load() & 1) == 0; }, kBoundMs))
        << "port still open after the link is gone";
    EXPECT_FALSE(succeeded && cell.op == Op::kUpload && sim_->DatabaseDump() != image_);
    EXPECT_TRUE(failed || succeeded);
  }
  CheckNothingLeftRunning();
}

// Acknowledgements come only in an upload, data blocks and their refusals
// only in a track download: those faults have no cell with another operation.
std::vector<Cell> Cells() {
  using E = Expect;
  std::vector<Cell> cells;
  for (Op op : {Op::kConnect, Op::kUpload, Op::kDownload, Op::kTracks}) {
    cells.push_back({op, Fault::kNone, E::kSuccess});
    cells.push_back({op, Fault::kNoAnswer, E::kReported});
    cells.push_back({op, Fault::kBusyStorm, E::kReported});
    cells.push_back({op, Fault::kGarbage, E::kSuccess});
    cells.push_back({op, Fault::kChecksums, E::kReported});
    cells.push_back({op, Fault::kBinaryPairs, E::kLinkGone});
    cells.push_back({op, Fault::kVanish, E::kLinkGone});
  }
  cells.push_back({Op::kUpload, Fault::kBadAckXor, E::kSuccess});
  cells.push_back({Op::kTracks, Fault::kBlockGaps, E::kSuccess});
  cells.push_back({Op::kTracks, Fault::kRefusals, E::kSuccess});
  return cells;
}

INSTANTIATE_TEST_SUITE_P(Cells, FaultMatrix, ::testing::ValuesIn(Cells()),
                         [](const ::testing::TestParamInfo<Cell>& info) {
                           return std::string(OpName(info.param.op)) + "_" +
                                  FaultName(info.param.fault);
                         });

}  // namespace
}  // namespace tessor
