#include "logger_rig.h"

#include "logger/nmea_conversion.h"
#include "tools/devsim/track_generator.h"

namespace tessor::test {

devsim::TrackSource GeneratedTrack(uint32_t date, int format, uint32_t points) {
  devsim::DrivePlan plan;
  plan.points = points;
  plan.start_s = 8 * 3600 + 30 * 60 + date % 60;
  devsim::TrackSource track;
  track.date = date;
  track.format = format;
  track.records = devsim::GenerateTrack(plan, format);
  return track;
}

std::string ReferenceNmea(const devsim::TrackSource& track) {
  std::string text;
  NmeaTrackConverter converter(
      track.date, track.format, [&text](std::string_view line) { text += line; },
      [](const std::string&) {});
  converter.Convert(track.records);
  converter.Finish();
  return text;
}

void ConnectLogger(UiRig& rig) {
  CDataDownloader& w = rig.Open();
  w.SetShowAllPages(true);
  rig.SelectPort("sim");
  rig.page().connect_button()->click();
  QTRY_VERIFY_WITH_TIMEOUT(rig.HasLine("Connection complete"), kDeviceWaitMs);
  QTRY_VERIFY_WITH_TIMEOUT(w.close_enabled() && w.operationRunning == 0, kDeviceWaitMs);
  QVERIFY(rig.engine->handshake_done());
}

int SentCount(const UiRig& rig, int command) {
  const std::string text = rig.sim->TranscriptText();
  const std::string needle = " H $PKVN" + std::to_string(command);
  int count = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) {
    ++count;
  }
  return count;
}

void ShowPage(UiRig& rig, int page) {
  rig.window->SetActivePage(page);
  QCOMPARE(rig.window->ActivePage(), page);
}

}  // namespace tessor::test
