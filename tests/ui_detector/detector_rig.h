#pragma once

#include <QApplication>
#include <QComboBox>
#include <QString>

#include "ui_fixture.h"

namespace tessor::test {

// The main window connected to the simulated detector.
inline void ConnectRig(UiRig& rig, const devsim::Scenario& scenario = devsim::Scenario{}) {
  rig.StartDevice(scenario);
  CDataDownloader& w = rig.Open();
  rig.SelectPort("sim");
  rig.page().ConnectClicked();
  QTRY_VERIFY_WITH_TIMEOUT(rig.HasLine("Connection complete"), kDeviceWaitMs);
  QTRY_VERIFY_WITH_TIMEOUT(
      w.close_enabled() && !rig.page().device_call_running() && w.operationRunning == 0,
      kDeviceWaitMs);
  QCOMPARE(int(w.connected), 1);
}

// How many times the host sent a text that starts a command, e.g. "$PKVN116".
inline int SentCount(const UiRig& rig, const std::string& command) {
  const std::string text = rig.sim->TranscriptText();
  int count = 0;
  for (size_t at = text.find(command); at != std::string::npos; at = text.find(command, at + 1)) {
    ++count;
  }
  return count;
}

inline QStringList Items(const QComboBox* list) {
  QStringList items;
  for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
  return items;
}

inline bool WaitBoxVisible() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible() && w->windowTitle() == "Please Wait") return true;
  }
  return false;
}

}  // namespace tessor::test
