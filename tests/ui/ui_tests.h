#pragma once

#include <QObject>

namespace tessor::test {

class MainWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void ThreeTabsInOrderAndTheKeptPages();
  void TitleAndAboutTextsCarryTheVersion();
  void InitialControlsOfTheConnectionPage();
  void SavedPortIsSelectedElseTheFirst();
  void CloseIsRefusedWhileGreyedAndAsksForResetAfterAConnect();
  void SettingsAreWrittenBackWhenTheWindowGoes();
  void WaitBoxEndsAsOkOnACloseRequest();
};

class ConnectionTest : public QObject {
  Q_OBJECT
 private slots:
  void ConnectsUpToConnectionComplete();
  void PortThatCannotBeOpenedShowsTheSystemText();
  void SilentDeviceShowsString111();
  void DeviceWithoutDatabaseConnectsWithoutPoi();
  void UploadAndPoiBoxesExcludeEachOther();
  void ProcessWithoutUploadDoesNothingElse();
  void NotificationsMoveTheProgressAndTheLamp();
  void FailedHandshakeLeavesThePageNotConnected();
  void DisconnectDuringTheHandshakeFreesClose();
  void ConnectWaitsForAListedPortAndNamesAVanishedOne();
};

class UploadFlowTest : public QObject {
  Q_OBJECT
 private slots:
  void FromTheVeldPageToFinishedAndTheResetMessage();
  void StatusLinesOfTheUploadReachTheList();
  void WrongFileIsFlaggedAndNotSent();
  void ImageChooserStartsWhereTheUsersFilesAre();
};

class PageRulesTest : public QObject {
  Q_OBJECT
 private slots:
  void VeldPageDisconnectedAndChooser();
  void GoWithoutPathHandsAnEmptyPath();
  void VeldCheckBoxRules();
  void ShowingTheVeldPageWritesTheProxyBack();
  void LogInRules();
  void WebSourceAsksForLogInAndCancelStops();
};

}  // namespace tessor::test
