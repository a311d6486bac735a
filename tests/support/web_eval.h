#pragma once

// Runs a script in a web page and waits for its value, for tests of pages in
// Qt WebEngine.
#include <QEventLoop>
#include <QTimer>
#include <QVariant>
#include <QWebEnginePage>
#include <memory>

namespace tessor::test {

// How long one script may take to answer on a loaded machine.
inline constexpr int kScriptWaitMs = 20000;

// The script's value; an invalid value when the page did not answer in time
// (a page being replaced may never answer). An answer that comes later is dropped.
inline QVariant Eval(QWebEnginePage* page, const QString& script) {
  struct Answer {
    QVariant value;
    bool given = false;
    QEventLoop loop;
  };
  auto answer = std::make_shared<Answer>();
  std::weak_ptr<Answer> late = answer;
  page->runJavaScript(script, [late](const QVariant& value) {
    if (auto a = late.lock()) {
      a->value = value;
      a->given = true;
      a->loop.quit();
    }
  });
  QTimer::singleShot(kScriptWaitMs, &answer->loop, &QEventLoop::quit);
  if (!answer->given) answer->loop.exec();
  return answer->value;
}

}  // namespace tessor::test
