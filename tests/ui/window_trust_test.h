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
  void RecordTheSerialLineWritesADatedTraceAndIsRemembered();
  void ATraceThatCannotBeMadeIsSaidAndTheConnectionGoesOn();
  void AFailedConnectCompletesItsTrace();
  void SizeAndPlaceAreRestored();
  void WindowAndAboutPageCarryTheIcon();
};

}  // namespace tessor::test
