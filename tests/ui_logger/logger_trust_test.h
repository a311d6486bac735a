#pragma once

#include <QObject>

namespace tessor::test {

class LoggerTrustTest : public QObject {
  Q_OBJECT
 private slots:
  void TrackDownloadReportsTheChosenTracksBytes();
  void CancelledTrackDownloadStopsWithoutFinishing();
  void EraseHasNoMeasureAndCannotBeCancelled();
  void EnterOnTheRealEraseQuestionErasesNothing();
  void IntervalOutsideItsRangeIsRefusedAndNotSent();
  void FolderChooserStartsWhereTheUsersFilesAre();
};

}  // namespace tessor::test
