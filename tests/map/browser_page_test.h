#pragma once

// A generated page in Qt WebEngine, offscreen and without network (the tiles
// fail to load; the pages must work regardless): a fresh view per test and
// the wait for a page to load.
#include <QApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QtTest>
#include <string>

#include "tests/support/web_eval.h"

namespace tessor::test {

// How long a page may take to load or to follow an event on a loaded machine.
inline constexpr int kPageWaitMs = 90000;

class BrowserPageTest : public QObject {
  Q_OBJECT

 protected:
  QTemporaryDir dir_;
  QWebEngineView* view_ = nullptr;

  QWebEnginePage* page() { return view_->page(); }
  double Number(const QString& script) { return Eval(page(), script).toDouble(); }

  // Loads a written page; fails the test when it does not load in time.
  void Load(const std::string& path) {
    QSignalSpy loaded(view_, &QWebEngineView::loadFinished);
    view_->load(QUrl::fromLocalFile(QString::fromStdString(path)));
    QVERIFY(loaded.wait(kPageWaitMs));
  }

  // The page says the map cannot be drawn (its script missing).
  void ExpectLoadFailureShown() {
    QTRY_VERIFY_WITH_TIMEOUT(Eval(page(),
                                  "document.body !== null && document.body.innerText.indexOf("
                                  "'Can not load Google Map, please check the internet!!') >= 0")
                                 .toBool(),
                             kPageWaitMs);
  }

 private slots:
  void init() {
    QVERIFY(dir_.isValid());
    view_ = new QWebEngineView;
    view_->resize(700, 500);
    view_->show();
  }

  void cleanup() {
    delete view_;
    view_ = nullptr;
  }
};

template <typename Test>
int RunBrowserTest(int argc, char** argv) {
  // CI runs as root, where Chromium's sandbox cannot start; there is no display.
  qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  Test test;
  return QTest::qExec(&test, argc, argv);
}

}  // namespace tessor::test
