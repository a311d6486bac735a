#pragma once

// The main of a GUI test program: every test class on the offscreen platform
// with the protocol's times scaled down, in one temporary home for the
// settings and data folders.
#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>

#include "engine/timing.h"
#include "ui/korvel_app.h"

namespace tessor::test {

template <typename... TestClasses>
int RunGuiTestClasses(int argc, char** argv) {
  QTemporaryDir home;
  qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
  qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
  QApplication app(argc, argv);
  SetProgramNames();
  TimingScale::Set(0.2);
  int failures = 0;
  auto run = [&](auto&& test_class) { failures += QTest::qExec(&test_class, argc, argv); };
  (run(TestClasses{}), ...);
  return failures == 0 ? 0 : 1;
}

}  // namespace tessor::test
