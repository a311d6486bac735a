#pragma once

#include <QObject>

namespace tessor::test {

class DeviceStatusTest : public QObject {
  Q_OBJECT
 private slots:
  void FlashBarAndTheConfigurationReadIntoTheSettings();
  void EmptyIntervalContactsNothing();
  void EraseFromTheQuestionToFinished();
  void PageShownDuringADownloadShows113AndKeepsButtonsOff();
  void GpsMouseFollowsTheStream();
  void DisconnectedPageShowsTheSavedSettings();
};

class ConfigPageTest : public QObject {
  Q_OBJECT
 private slots:
  void FolderChooserKeepsTheOldFolderOnCancel();
  void SpeedFilterWithEnableClearedSendsNothing();
  void IntervalIsSentAsTypedWithoutModeChange();
};

class FileConversionTest : public QObject {
  Q_OBJECT
 private slots:
  void NothingSelectedShows166AndContactsNothing();
  void EmptyFolderShows167AfterTheConnectionControlsWentOff();
  void FileIsNamedByTrackIndexNotListPlace();
  void ThreeTracksListedInOrderEqualToTheReference();
  void PhotoToolNeedsAToolThenStartsIt();
  void DisconnectEmptiesTheFileListAndStopsTheTimer();
  void HandOffFailureShowsTheSystemsReasonAndDownloads();
  void EmptyTrackStaysAtZeroPercent();
  void ExportChoiceWritesCopiesAndIsRemembered();
  void ShowOnMapOpensThePageOfTheListedTrack();
  void EraseAfterDownloadOnlyWhenEveryTrackIsWhole();
  void CancelledDownloadNeverErases();
  void UnfinishedFolderAsksWhetherToGoOn();
};

class ShowAllPagesTest : public QObject {
  Q_OBJECT
 private slots:
  void OffByDefaultThenAllEightInBuildOrderAndRemembered();
  void TurningItOffTakesTheKeptPagesAway();
};

}  // namespace tessor::test
