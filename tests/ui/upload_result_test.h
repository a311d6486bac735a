#pragma once

#include <QObject>

namespace tessor::test {

// What the connection page tells the user at the end of an upload or a
// database download, and the job interface the main window uses.
class UploadResultTest : public QObject {
  Q_OBJECT
 private slots:
  void DeviceLostMidUploadShowsTheFailureAndKeepsTheList();
  void FinishedUploadSaysSizeAndTimeBeforeTheReset();
  void CancelStopsTheUploadAndSaysSo();
  void DownloadShowsIdenticalOrTheFirstDifference();
  void FailedDownloadIsNeverShownAsIdentical();
};

}  // namespace tessor::test
