// Runs the logger page tests on the offscreen platform with the protocol's
// times scaled down; one temporary home for the settings and data folders.
#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>

#include "engine/timing.h"
#include "logger_tests.h"
#include "ui/korvel_app.h"

int main(int argc, char** argv) {
  QTemporaryDir home;
  qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
  qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
  QApplication app(argc, argv);
  tessor::SetProgramNames();
  tessor::TimingScale::Set(0.2);
  int failures = 0;
  tessor::test::ShowAllPagesTest show_all;
  failures += QTest::qExec(&show_all, argc, argv);
  tessor::test::DeviceStatusTest status;
  failures += QTest::qExec(&status, argc, argv);
  tessor::test::ConfigPageTest config;
  failures += QTest::qExec(&config, argc, argv);
  tessor::test::FileConversionTest conversion;
  failures += QTest::qExec(&conversion, argc, argv);
  return failures == 0 ? 0 : 1;
}
