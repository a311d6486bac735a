#include <algorithm>
#include <fstream>
#include <iterator>

#include "comma_locale.h"
#include "device_fixture.h"
#include "engine/string_table.h"

namespace tessor {
namespace {

using test::DeviceFixture;

constexpr const char* kUploadFailed =
    "Failed to upload the DB, please check the connection or the device!!";

class Upload : public DeviceFixture {
 protected:
  // Connects, uploads the image and waits for the end of the upload.
  void RunUpload(const std::vector<uint8_t>& image) {
    const int connected = engine_.Connect(1);
    ASSERT_TRUE(connected == kResultOk || connected == kResultNoDatabase ||
                connected == kResultAlreadyRunning)
        << connected;
    ASSERT_TRUE(WaitFor([&] { return engine_.handshake_done() && ThreadsIdle(); }));
    engine_.SetImagePath(WriteFile("image.bin", image));
    ASSERT_EQ(engine_.StartDatabaseUpload(), kResultOk);
    ASSERT_TRUE(
        WaitFor([&] { return !engine_.ThreadRunning(CDeviceEngine::kSlotDatabaseUpload); }, 60000));
  }

  // Reads the image back and waits for the thread's end: the flag is set
  // before the comparison's lines and the end notification.
  void RunDownload() {
    ASSERT_EQ(engine_.StartDatabaseDownload(), kResultOk);
    ASSERT_TRUE(WaitFor(
        [&] { return !engine_.ThreadRunning(CDeviceEngine::kSlotDatabaseDownload); }, 60000));
    EXPECT_TRUE(engine_.database_download_finished());
  }

  bool ThreadsIdle() { return !engine_.ThreadRunning(CDeviceEngine::kSlotHandshake); }

  // The addresses of the block uploads in the order the device received them.
  std::vector<long> BlockAddresses() {
    std::vector<long> addresses;
    const std::string t = sim_->TranscriptText();
    for (size_t at = t.find("$PKVN999,"); at != std::string::npos;
         at = t.find("$PKVN999,", at + 1)) {
      addresses.push_back(std::stol(t.substr(at + 9)));
    }
    return addresses;
  }

  // The blocks in the order they were first sent: a late acknowledgement on a
  // loaded machine makes the engine send a block again, which the device takes
  // again at the same address, so repeats in a row say nothing about framing.
  std::vector<long> DistinctBlocks() {
    std::vector<long> addresses = BlockAddresses();
    addresses.erase(std::unique(addresses.begin(), addresses.end()), addresses.end());
    return addresses;
  }

  long TimesSent(long address) {
    const std::vector<long> all = BlockAddresses();
    return static_cast<long>(std::count(all.begin(), all.end(), address));
  }

  std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }

  devsim::Scenario Device(int firmware) {
    devsim::Scenario s;
    s.firmware = firmware;
    s.erase_reports_ms = 500;
    return s;
  }
};

TEST_F(Upload, Firmware209SendsBlocksOf128AndTheDeviceHoldsTheImage) {
  StartDevice(Device(209));
  // 304 bytes: blocks of 128, 128 and 48. The magic "%CDB" opens the first.
  const std::vector<uint8_t> image = MakeImage(15);
  ASSERT_EQ(image.size(), 304u);
  RunUpload(image);
  EXPECT_EQ(DistinctBlocks(), (std::vector<long>{0, 128, 256}));
  EXPECT_EQ(sim_->DatabaseDump(), image);
  EXPECT_EQ(engine_.upload_finished(), 1);
  EXPECT_TRUE(HasLine("Finished uploading VELD Data."));
  EXPECT_TRUE(HasLine("Upload DataBase."));
  EXPECT_TRUE(HasLine(LoadString(149)));
  EXPECT_TRUE(HasNotification(WM_DEV_ERASE_BUSY, 0, 0));
  EXPECT_TRUE(HasNotification(WM_DEV_ERASE_DONE, 0, 0));
  EXPECT_TRUE(HasNotification(WM_DEV_PROGRESS, 256, 304));
  EXPECT_TRUE(HasNotification(WM_DEV_PROGRESS, 304, 304));
  EXPECT_TRUE(HasNotification(WM_DEV_OPERATION_END, 0, 0));
  EXPECT_EQ(ReadFile(DataFile("ULDB.bin")), image) << "the upload keeps what it sent";
}

TEST_F(Upload, StatusLinesKeepTheDecimalPointUnderACommaLocale) {
  test::CommaLocale comma;
  ASSERT_TRUE(comma.active()) << comma.why_not();
  StartDevice(Device(209));
  RunUpload(MakeImage(15));
  EXPECT_TRUE(HasLine("Upload Time: 0.0 min"));
  EXPECT_TRUE(HasLine("Finished uploading VELD Data."));
}

TEST_F(Upload, Firmware208SendsBlocksOf32WithCdbAcrossThem) {
  StartDevice(Device(208));
  std::vector<uint8_t> image = MakeImage(6);
  // "%CDB" inside a block and across the end of one.
  std::memcpy(image.data() + 64 + 3, "%CDB", 4);
  std::memcpy(image.data() + 96 - 2, "%CDB", 4);
  RunUpload(image);
  const std::vector<long> addresses = DistinctBlocks();
  ASSERT_EQ(addresses.size(), (image.size() + 31) / 32);
  for (size_t i = 0; i < addresses.size(); ++i) EXPECT_EQ(addresses[i], static_cast<long>(32 * i));
  EXPECT_EQ(sim_->DatabaseDump(), image);
}

TEST_F(Upload, WrongAcknowledgementIsSentAgain) {
  devsim::Scenario s = Device(209);
  s.faults.bad_ack_xor = {1};
  StartDevice(s);
  const std::vector<uint8_t> image = MakeImage(15);
  RunUpload(image);
  EXPECT_EQ(DistinctBlocks(), (std::vector<long>{0, 128, 256}));
  EXPECT_GE(TimesSent(128), 2);
  EXPECT_EQ(sim_->DatabaseDump(), image);
  EXPECT_TRUE(HasLine("Finished uploading VELD Data."));
}

TEST_F(Upload, ThreeMissesEndWithTheFailureBox) {
  devsim::Scenario s = Device(209);
  s.faults.silent = {{999, 3}};
  StartDevice(s);
  RunUpload(MakeImage(15));
  EXPECT_EQ(BlockAddresses().size(), 3u);
  const auto messages = observer_.messages();
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.back(), std::string(LoadString(kStrCaption)) + "|" + kUploadFailed);
  EXPECT_TRUE(HasNotification(WM_DEV_OPERATION_END, 1, 0));
  EXPECT_FALSE(HasLine("Finished uploading VELD Data."));
  EXPECT_EQ(engine_.upload_finished(), 1);
}

// Only misses in a row count: three misses with an acknowledged block
// between each do not end the upload.
TEST_F(Upload, MissesNotInARowDoNotEndTheUpload) {
  devsim::Scenario s = Device(208);
  s.faults.bad_ack_xor = {1, 2, 3};
  StartDevice(s);
  const std::vector<uint8_t> image = MakeImage(6);
  RunUpload(image);
  EXPECT_EQ(DistinctBlocks(), (std::vector<long>{0, 32, 64, 96, 128}));
  for (long address : {32, 64, 96}) EXPECT_GE(TimesSent(address), 2) << address;
  EXPECT_EQ(sim_->DatabaseDump(), image);
  EXPECT_TRUE(HasLine("Finished uploading VELD Data.")) << Lines();
}

// An image exactly as large as the device's memory is uploaded; one byte
// more is refused.
TEST_F(Upload, ImageAsLargeAsTheMemoryFits) {
  const std::vector<uint8_t> image = MakeImage(15);
  for (const int64_t capacity :
       {static_cast<int64_t>(image.size()), static_cast<int64_t>(image.size()) - 1}) {
    SCOPED_TRACE(capacity);
    devsim::Scenario s = Device(209);
    s.capacity = capacity;
    StartDevice(s);
    RunUpload(image);
    const bool fits = capacity == static_cast<int64_t>(image.size());
    EXPECT_EQ(engine_.upload_succeeded(), fits) << Lines();
    EXPECT_EQ(BlockAddresses().empty(), !fits);
    engine_.StopAllThreads();
    engine_.Disconnect();
    sim_->Stop();
  }
}

TEST_F(Upload, RefusesBeforeTouchingTheDevice) {
  StartDevice(Device(209));
  std::vector<uint8_t> broken = MakeImage(4);
  broken[0] = 'X';
  RunUpload(broken);
  EXPECT_TRUE(HasLine("File format is not correct!!"));
  EXPECT_TRUE(BlockAddresses().empty());
  EXPECT_EQ(sim_->TranscriptText().find("$PKVN113,1"), std::string::npos) << "no mode 1";
  EXPECT_TRUE(HasNotification(WM_DEV_OPERATION_END, 1, 0));
}

TEST_F(Upload, RefusesAnImageLargerThanTheDevice) {
  devsim::Scenario s = Device(209);
  s.capacity = 200;
  StartDevice(s);
  RunUpload(MakeImage(15));
  EXPECT_TRUE(
      HasLine("Can not upload VELD, VELD size is Biger than the memory size of the device!!"));
  EXPECT_TRUE(HasLine("DB size 304"));
  EXPECT_TRUE(HasLine("Flash size 200"));
  EXPECT_TRUE(BlockAddresses().empty());
}

TEST_F(Upload, MissingImageFileEndsWithALineAndTheEndNotification) {
  StartDevice(Device(209));
  ASSERT_NE(engine_.Connect(1), kResultPortOpen);
  ASSERT_TRUE(WaitFor([&] { return engine_.handshake_done() && ThreadsIdle(); }));
  engine_.SetImagePath(data_home_ + "/missing.bin");
  ASSERT_EQ(engine_.StartDatabaseUpload(), kResultOk);
  // The flag is set once the last lines are said, just before the end notification.
  ASSERT_TRUE(WaitFor([&] { return !engine_.ThreadRunning(CDeviceEngine::kSlotDatabaseUpload); }));
  EXPECT_EQ(engine_.upload_finished(), 1);
  const std::string line = "Can not open " + engine_.image_path() + ": No such file or directory";
  EXPECT_TRUE(HasLine(line));
  EXPECT_TRUE(HasNotification(WM_DEV_OPERATION_END, 1, 0));
  EXPECT_TRUE(EndedOnce(OperationKind::kDatabaseUpload, kResultNoAnswerRetries, line,
                        WM_DEV_OPERATION_END));
}

TEST_F(Upload, DownloadAfterUploadIsIdentical) {
  StartDevice(Device(209));
  const std::vector<uint8_t> image = MakeImage(9);
  RunUpload(image);
  ASSERT_NO_FATAL_FAILURE(RunDownload());
  EXPECT_TRUE(HasLine("Download DB Header...Done"));
  EXPECT_TRUE(HasLine("Download DB index..Done"));
  EXPECT_TRUE(HasLine("Download SCPoint data...Done"));
  EXPECT_EQ(ReadFile(DataFile("DLDB.bin")), image);
  const auto messages = observer_.messages();
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.back(), std::string(LoadString(kStrCaption)) + "|They are Identical !!");
  EXPECT_TRUE(HasNotification(WM_DEV_DOWNLOAD_END, 0, 1));
  EXPECT_TRUE(EndedOnce(OperationKind::kDatabaseUpload, kResultOk, "Finished uploading VELD Data.",
                        WM_DEV_OPERATION_END));
  EXPECT_TRUE(EndedOnce(OperationKind::kDatabaseDownload, kResultOk, "Download SCPoint data...Done",
                        WM_DEV_DOWNLOAD_END));
}

TEST_F(Upload, ChangedByteIsReportedWithItsOffset) {
  devsim::Scenario s = Device(209);
  std::vector<uint8_t> held = MakeImage(9);
  std::vector<uint8_t> sent = held;
  sent[100] ^= 0x40;
  s.database = held;
  StartDevice(s);
  WriteFile("Varnelco/Tessor Series/ULDB.bin", sent);
  ASSERT_EQ(engine_.Connect(1), kResultOk);
  ASSERT_TRUE(WaitFor([&] { return engine_.handshake_done() && ThreadsIdle(); }));
  ASSERT_NO_FATAL_FAILURE(RunDownload());
  EXPECT_TRUE(HasLine("Data is not identical at offset 100"));
  for (const std::string& m : observer_.messages())
    EXPECT_EQ(m.find("Identical"), std::string::npos);
}

TEST_F(Upload, DeviceVanishingMidUploadEndsTheLink) {
  devsim::Scenario s = Device(208);
  StartDevice(s);
  ASSERT_NE(engine_.Connect(1), kResultPortOpen);
  ASSERT_TRUE(WaitFor([&] { return engine_.handshake_done() && ThreadsIdle(); }));
  engine_.SetImagePath(WriteFile("image.bin", MakeImage(200)));
  ASSERT_EQ(engine_.StartDatabaseUpload(), kResultOk);
  ASSERT_TRUE(WaitFor([&] { return BlockAddresses().size() >= 5; }));
  sim_->Stop();  // the adapter is pulled: the master side closes
  sim_.reset();
  ASSERT_TRUE(WaitFor([&] { return !engine_.ThreadRunning(CDeviceEngine::kSlotDatabaseUpload); }));
  ASSERT_TRUE(WaitFor([&] { return !engine_.ThreadRunning(CDeviceEngine::kSlotLink); }));
  EXPECT_TRUE(HasLine(LoadString(kStrPortAccessError)));
  EXPECT_FALSE(HasLine("Finished uploading VELD Data."));
  EXPECT_TRUE(HasLine(kUploadFailed));
  EXPECT_TRUE(HasNotification(WM_DEV_OPERATION_END, 0, 0));
  EXPECT_FALSE(engine_.port.is_open());
  EXPECT_TRUE(EndedOnce(OperationKind::kDatabaseUpload, kResultPortNotOpen, kUploadFailed,
                        WM_DEV_OPERATION_END));
}

// The protocol's own pauses and time-outs, unscaled, on a line paced to the
// device's baud rate: the whole road of a user's upload and its check.
class UploadAtRealTiming : public Upload {
 protected:
  void SetUp() override {
    Upload::SetUp();
    TimingScale::Set(1.0);
  }
};

TEST_F(UploadAtRealTiming, ConnectUploadAndReadBackAreIdentical) {
  devsim::Scenario s = Device(209);
  s.erase_reports_ms = 1500;
  StartDevice(s, true);
  const std::vector<uint8_t> image = MakeImage(40);
  RunUpload(image);
  EXPECT_TRUE(HasLine("Finished uploading VELD Data.")) << Lines();
  EXPECT_EQ(sim_->DatabaseDump(), image);
  ASSERT_NO_FATAL_FAILURE(RunDownload());
  const auto messages = observer_.messages();
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.back(), std::string(LoadString(kStrCaption)) + "|They are Identical !!");
}

}  // namespace
}  // namespace tessor
