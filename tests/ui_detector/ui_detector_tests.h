#pragma once

#include <QObject>

namespace tessor::test {

class AlertPageTest : public QObject {
  Q_OBJECT
 private slots:
  void ListsFollowTheCriticalRange();
  void DisconnectedOrDownloadingPageStaysOff();
  void ShownPageReadsTheDeviceRanges();
  void SameValuesAndTooCloseRangesSendNoSetting();
  void SetRangesAreTakenByTheDevice();
};

class PoiPageTest : public QObject {
  Q_OBJECT
 private slots:
  void LoadShowsTheFileLastLineFirst();
  void SpeedCellAcceptsAndRejects();
  void RejectionRestoresAStatusOtherThanOk();
  void CommentsUpTo255Characters();
  void CommentLimitCountsStoredBytes();
  void LegacyCommentsKeepTheirBytes();
  void SpeedRefusesWhatItCannotStore();
  void AFullListSaysHowManyWereLeftOut();
  void CommaLocaleKeepsDecimalPoints();
  void PendingRejectionEndsWhenTheListIsReloaded();
  void DeleteNoChangesNothingOnDisk();
  void SaveKeepsOnlyValidPois();
  void SaveWithoutValidPoisSaysSo();
  void ResetEmptiesThePage();
};

}  // namespace tessor::test
