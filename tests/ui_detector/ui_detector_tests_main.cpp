// The detector pages on the offscreen platform with the protocol's times scaled
// down; one temporary home for the settings and data folders.
#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>

#include "engine/timing.h"
#include "ui/korvel_app.h"
#include "ui_detector_tests.h"

int main(int argc, char** argv) {
  QTemporaryDir home;
  qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
  qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
  QApplication app(argc, argv);
  tessor::SetProgramNames();
  tessor::TimingScale::Set(0.2);
  int failures = 0;
  tessor::test::AlertPageTest alert;
  failures += QTest::qExec(&alert, argc, argv);
  tessor::test::PoiPageTest poi;
  failures += QTest::qExec(&poi, argc, argv);
  return failures == 0 ? 0 : 1;
}
