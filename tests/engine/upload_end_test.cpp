// However an upload ends, it ends once: everything it says comes before its
// finished flag, and the flag before the one end notification. A caller that
// sees the flag has every line, the message box and the result.
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "device_fixture.h"
#include "engine/string_table.h"

namespace tessor {
namespace {

// Notes whatever was said once the upload's flag was already set, and the
// engine's state at each end notification.
class FinishWatch : public test::RecordingObserver {
 public:
  struct End {
    int64_t code;
    int finished;
    bool succeeded;
  };

  explicit FinishWatch(const CDeviceEngine& engine) : engine_(engine) {}

  void OnStatusLine(const std::string& text, bool replace_last) override {
    NoteLate(text);
    RecordingObserver::OnStatusLine(text, replace_last);
  }
  void OnMessageBox(const std::string& caption, const std::string& text) override {
    NoteLate(text);
    RecordingObserver::OnMessageBox(caption, text);
  }
  void OnNotification(int id, int64_t first, int64_t second) override {
    if (id == WM_DEV_OPERATION_END) {
      std::lock_guard<std::mutex> lock(mutex_);
      ends_.push_back({first, engine_.upload_finished(), engine_.upload_succeeded()});
    }
    RecordingObserver::OnNotification(id, first, second);
  }

  // Forgets what came before the upload (the connect posts an end of its own).
  void Restart() {
    std::lock_guard<std::mutex> lock(mutex_);
    late_.clear();
    ends_.clear();
  }

  std::vector<std::string> said_after_finish() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return late_;
  }
  std::vector<End> ends() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return ends_;
  }

 private:
  void NoteLate(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (engine_.upload_finished() != 0) late_.push_back(text);
  }

  const CDeviceEngine& engine_;
  mutable std::mutex mutex_;
  std::vector<std::string> late_;
  std::vector<End> ends_;
};

class UploadEnd : public test::DeviceFixture {
 protected:
  void SetUp() override {
    DeviceFixture::SetUp();
    engine_.SetObserver(&watch_);
  }
  void TearDown() override {
    DeviceFixture::TearDown();
    engine_.SetObserver(nullptr);
  }

  // Connects, uploads and waits for the upload thread's end.
  void Upload(const devsim::Scenario& scenario, const std::vector<uint8_t>& image) {
    StartDevice(scenario);
    const int connected = engine_.Connect(1);
    ASSERT_TRUE(connected == kResultOk || connected == kResultNoDatabase) << connected;
    ASSERT_TRUE(WaitFor([&] {
      return engine_.handshake_done() && !engine_.ThreadRunning(CDeviceEngine::kSlotHandshake);
    }));
    engine_.SetImagePath(WriteFile("image.bin", image));
    watch_.Restart();
    ASSERT_EQ(engine_.StartDatabaseUpload(), kResultOk);
    ASSERT_TRUE(
        WaitFor([&] { return !engine_.ThreadRunning(CDeviceEngine::kSlotDatabaseUpload); }, 60000));
  }

  // The one end, with the flag set and the result known by then.
  void ExpectOneEnd(int64_t code, bool succeeded) {
    EXPECT_EQ(watch_.said_after_finish(), std::vector<std::string>{});
    const auto ends = watch_.ends();
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0].code, code);
    EXPECT_EQ(ends[0].finished, 1);
    EXPECT_EQ(ends[0].succeeded, succeeded);
  }

  static devsim::Scenario Device() {
    devsim::Scenario s;
    s.firmware = 209;
    s.erase_reports_ms = 500;
    return s;
  }

  FinishWatch watch_{engine_};
};

TEST_F(UploadEnd, AWholeUploadSaysAllBeforeItIsFinished) {
  Upload(Device(), MakeImage(15));
  EXPECT_EQ(watch_.lines().back(), "Finished uploading VELD Data.");
  ExpectOneEnd(0, true);
}

TEST_F(UploadEnd, ThreeMissesShowTheBoxBeforeTheUploadIsFinished) {
  devsim::Scenario s = Device();
  s.faults.silent = {{999, 3}};
  Upload(s, MakeImage(15));
  ASSERT_FALSE(watch_.messages().empty());
  EXPECT_EQ(watch_.messages().back(),
            std::string(LoadString(kStrCaption)) +
                "|Failed to upload the DB, please check the connection or the device!!");
  ExpectOneEnd(1, false);
}

TEST_F(UploadEnd, ARefusedImageEndsOnceWithoutTouchingTheDevice) {
  std::vector<uint8_t> broken = MakeImage(4);
  broken[0] = 'X';
  Upload(Device(), broken);
  EXPECT_EQ(watch_.lines().back(), "magic is not %CDB") << "the refusal's reason is the last line";
  ExpectOneEnd(1, false);
}

}  // namespace
}  // namespace tessor
