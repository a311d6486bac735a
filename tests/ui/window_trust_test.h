#pragma once

#include <QObject>

namespace tessor::test {

class WindowTrustTest : public QObject {
  Q_OBJECT
 private slots:
  void MeterFiguresFromAKnownClock();
  void MeterUnitsAndTheEndLines();
  void StatusBarAndTrayFollowEveryJobPage();
  void UploadShowsBytesRateAndTimeLeftThenTheResult();
  void CloseDuringAnUploadSaysWhyAndCancelStopsIt();
  void ShowAllPagesFromTheViewMenuShowsDownloadAndEveryTab();
  void SizeAndPlaceAreRestored();
  void WindowAndAboutPageCarryTheIcon();
};

}  // namespace tessor::test
