#include "window_trust_test.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTabBar>
#include <algorithm>

#include "database/data_folder.h"
#include "engine/trace_format.h"
#include "ui/dlg_device_status.h"
#include "ui/dlg_file_conversion.h"
#include "ui/download_about.h"
#include "ui/program_icon.h"
#include "ui/progress_meter.h"
#include "ui/question_seam.h"
#include "ui_fixture.h"

namespace tessor::test {

namespace {

const QString kCaption = "Zevev Iruded Evezozoz Izidavo";

// Answers the OK/Cancel questions with `answer` and records their texts.
class Questions {
 public:
  Questions() {
    previous_ = SetQuestionHandler([this](QWidget*, const QString& text) {
      texts << text;
      return answer;
    });
  }
  ~Questions() { SetQuestionHandler(previous_); }
  QStringList texts;
  bool answer = false;

 private:
  QuestionHandler previous_;
};

QStringList TraceFiles() {
  return QDir(QString::fromStdString(DataFolder())).entryList({"trace-*"}, QDir::Files, QDir::Name);
}

// Connects to the simulator and disconnects again from the page's button.
void ConnectAndDisconnect(UiRig& rig) {
  rig.SelectPort("sim");
  rig.ConnectAndSettle();
  rig.page().connect_button()->click();
  QTRY_VERIFY_WITH_TIMEOUT(!rig.page().connected() && !rig.page().device_call_running() &&
                               rig.page().connect_button()->isEnabled(),
                           kDeviceWaitMs);
}

// Points the data folder somewhere it cannot be made, for one scope.
class NoDataFolder {
 public:
  explicit NoDataFolder(const QString& blocking_file) : saved_(qgetenv("XDG_DATA_HOME")) {
    QFile file(blocking_file);
    QVERIFY(file.open(QIODevice::WriteOnly));
    qputenv("XDG_DATA_HOME", (blocking_file + "/data").toUtf8());
  }
  ~NoDataFolder() { qputenv("XDG_DATA_HOME", saved_); }

 private:
  QByteArray saved_;
};

// The trace's lines, with the reading's error as the test's message.
std::vector<trace::Line> ReadLines(const QString& path) {
  std::vector<trace::Line> lines;
  std::string error;
  if (!trace::ReadTrace(path.toStdString(), &lines, &error)) qWarning("%s", error.c_str());
  return lines;
}

bool AnyMatches(const QStringList& lines, const QString& pattern) {
  const QRegularExpression re(pattern);
  return std::any_of(lines.begin(), lines.end(),
                     [&re](const QString& line) { return re.match(line).hasMatch(); });
}

}  // namespace

void WindowTrustTest::MeterFiguresFromAKnownClock() {
  qint64 now = 0;
  ProgressMeter m([&now] { return now; });
  m.Start("Upload");
  now = 500;
  m.Update(0, 491520);
  QCOMPARE(m.Line(), QString("Upload: 0 of 480 KB (0 %)"));
  // Half a second after the first report: too early for a rate.
  now = 1000;
  m.Update(20480, 491520);
  QCOMPARE(m.Line(), QString("Upload: 20 of 480 KB (4 %)"));
  // 120 KB in the two seconds since the first report: 60 KB/s, 360 KB to go.
  now = 2500;
  m.Update(122880, 491520);
  QCOMPARE(m.Line(), QString("Upload: 120 of 480 KB (25 %), 60.0 KB/s, 6 s left"));
  // 130 KB in 3 s is 43.33 KB/s; 350 KB take 8.08 s, shown as 9.
  now = 3500;
  m.Update(133120, 491520);
  QCOMPARE(m.Line(), QString("Upload: 130 of 480 KB (27 %), 43.3 KB/s, 9 s left"));
  // One byte short of the end is not yet 100 % nor the whole size.
  m.Update(491519, 491520);
  QCOMPARE(m.Line(), QString("Upload: 479 of 480 KB (99 %), 159.9 KB/s, 1 s left"));

  // 256 KB of 4 MB in a minute: 3840 KB left at 4.27 KB/s is a quarter of an hour.
  now = 10000;
  m.Start("Erase");
  m.Update(0, 4194304);
  now = 70000;
  m.Update(262144, 4194304);
  QCOMPARE(m.Line(), QString("Erase: 256 of 4096 KB (6 %), 4.2 KB/s, 15 min 0 s left"));

  // Size unknown: what is done, the rate and the time spent.
  now = 100000;
  m.Start("Track download");
  m.Update(40960, 0);
  now = 105000;
  m.Update(51200, 0);
  QVERIFY(!m.Percent().has_value());
  QCOMPARE(m.Line(), QString("Track download: 50 KB, 2.0 KB/s, 5 s elapsed"));
}

void WindowTrustTest::MeterUnitsAndTheEndLines() {
  QCOMPARE(ProgressMeter::Amount(512), QString("512 bytes"));
  QCOMPARE(ProgressMeter::Amount(10239), QString("10239 bytes"));
  QCOMPARE(ProgressMeter::Amount(10240), QString("10 KB"));
  QCOMPARE(ProgressMeter::Amount(10485759), QString("10239 KB"));
  QCOMPARE(ProgressMeter::Amount(10485760), QString("10.0 MB"));
  QCOMPARE(ProgressMeter::Amount(15990784), QString("15.2 MB"));
  QCOMPARE(ProgressMeter::Duration(59), QString("59 s"));
  QCOMPARE(ProgressMeter::Duration(60), QString("1 min 0 s"));
  QCOMPARE(ProgressMeter::Duration(3599), QString("59 min 59 s"));
  QCOMPARE(ProgressMeter::Duration(3725), QString("1 h 2 min"));

  qint64 now = 0;
  ProgressMeter m([&now] { return now; });
  m.Start("Check");
  m.Update(0, 1000);
  now = 2000;
  m.Update(600, 1000);
  QCOMPARE(m.Line(), QString("Check: 600 of 1000 bytes (60 %), 300 bytes/s, 2 s left"));

  m.Start("Big");
  m.Update(0, 104857600);
  now = 4000;
  m.Update(3145728, 104857600);
  QCOMPARE(m.Line(), QString("Big: 3.0 of 100.0 MB (3 %), 1.5 MB/s, 1 min 5 s left"));
  // A total just over 20 MB shows above 20.0, so the done figure cannot reach it early.
  m.Update(5242880, 20971521);
  QVERIFY(m.Line().startsWith("Big: 5.0 of 20.1 MB (24 %)"));

  now = 0;
  m.Start("Upload");
  m.Update(0, 491520);
  now = 30000;
  m.Update(122880, 491520);
  QCOMPARE(m.EndLine(false, true), QString("Upload cancelled after 120 of 480 KB"));
  QCOMPARE(m.EndLine(false, false), QString("Upload did not finish: 120 of 480 KB done"));
  now = 65000;
  m.Update(491520, 491520);
  QCOMPARE(m.EndLine(true, false), QString("Upload finished: 480 KB in 1 min 5 s"));
}

void WindowTrustTest::StatusBarAndTrayFollowEveryJobPage() {
  UiRig rig;
  CDataDownloader& w = rig.Open();
  qint64 now = 0;
  w.SetProgressClock([&now] { return now; });
  QCOMPARE(w.tray()->toolTip(), kCaption);

  CDlgDeviceStatus* status = w.device_status_page();
  emit status->jobProgress("Erase", 1024, 4096);
  QCOMPARE(w.status_bar()->currentMessage(), QString("Erase: 1024 of 4096 bytes (25 %)"));
  QCOMPARE(w.tray()->toolTip(), kCaption + " - Erase 25 %");
  emit status->jobEnded("Erase", false);
  QCOMPARE(w.status_bar()->currentMessage(),
           QString("Erase did not finish: 1024 of 4096 bytes done"));
  QCOMPARE(w.tray()->toolTip(), kCaption);

  CDlgFileConversion* tracks = w.file_conversion_page();
  emit tracks->jobProgress("Track download", 0, 0);
  now = 4000;
  emit tracks->jobProgress("Track download", 20480, 0);
  QCOMPARE(w.status_bar()->currentMessage(),
           QString("Track download: 20 KB, 5.0 KB/s, 4 s elapsed"));
  QCOMPARE(w.tray()->toolTip(), kCaption + " - Track download 20 KB");
  emit tracks->jobEnded("Track download", true);
  QCOMPARE(w.status_bar()->currentMessage(), QString("Track download finished: 20 KB in 4 s"));
  QCOMPARE(w.tray()->toolTip(), kCaption);

  // A job that ends before any report still gets its own line, not the last job's.
  emit w.connection_page()->jobEnded("Database download", false);
  QCOMPARE(w.status_bar()->currentMessage(),
           QString("Database download did not finish: 0 bytes done"));
}

void WindowTrustTest::UploadShowsBytesRateAndTimeLeftThenTheResult() {
  UiRig rig;
  rig.StartDevice(UiRig::SlowDevice());
  CDataDownloader& w = rig.Open();
  rig.ConnectAndSettle();
  QStringList lines;
  QStringList tips;
  QObject::connect(w.status_bar(), &QStatusBar::messageChanged, &w, [&](const QString& line) {
    lines << line;
    tips << w.tray()->toolTip();
  });
  rig.StartUpload(UiRig::LargeImage());
  QTRY_VERIFY_WITH_TIMEOUT(!lines.isEmpty() && lines.last().startsWith("Upload finished: "),
                           kDeviceWaitMs);
  QVERIFY2(AnyMatches(lines, R"(^Upload: \d+ of 2\d KB \(\d+ %\), [\d.]+ (bytes|KB)/s, .+ left$)"),
           qPrintable(lines.join('\n')));
  QVERIFY(AnyMatches(tips, "^" + kCaption + R"( - Upload \d+ %$)"));
  QVERIFY(lines.last().contains(QRegularExpression(R"( 2\d KB in \d+ (s|min))")));
  QCOMPARE(w.tray()->toolTip(), kCaption);
}

void WindowTrustTest::CloseDuringAnUploadSaysWhyAndCancelStopsIt() {
  UiRig rig;
  rig.StartDevice(UiRig::SlowDevice());
  CDataDownloader& w = rig.Open();
  rig.ConnectAndSettle();
  Questions questions;
  QSignalSpy ended(w.connection_page(), &CDlgConnection::jobEnded);
  rig.StartUpload(UiRig::LargeImage());
  QTRY_VERIFY_WITH_TIMEOUT(rig.page().progress()->value() >= 5, kDeviceWaitMs);

  // Cancel in the question lets the upload go on.
  QVERIFY(!w.close());
  QVERIFY(w.isVisible());
  QCOMPARE(questions.texts.size(), 1);
  QVERIFY2(questions.texts[0].contains("an upload is running"), qPrintable(questions.texts[0]));
  QVERIFY(rig.page().JobRunning());
  QCOMPARE(ended.count(), 0);

  // OK cancels it; the window stays to show how it ended.
  questions.answer = true;
  QVERIFY(!w.close());
  QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, kDeviceWaitMs);
  QVERIFY(!ended[0][1].toBool());
  QVERIFY(w.isVisible());
  QVERIFY2(w.status_bar()->currentMessage().startsWith("Upload cancelled after "),
           qPrintable(w.status_bar()->currentMessage()));
  QVERIFY(rig.sim->DatabaseDump() != UiRig::LargeImage());
}

void WindowTrustTest::ShowAllPagesFromTheViewMenuShowsDownloadAndEveryTab() {
  UiRig rig;
  CDataDownloader& w = rig.Open();
  QVERIFY(!rig.page().download_db()->isVisible());
  QMenu* view = nullptr;
  for (QAction* a : w.menu_bar()->actions()) {
    if (a->text() == "&View") view = a->menu();
  }
  QVERIFY(view != nullptr);
  QVERIFY(view->actions().contains(w.show_all_action()));
  w.show_all_action()->trigger();

  QCOMPARE(w.sheet()->count(), 8);
  QVERIFY(rig.page().download_db()->isVisible());
  // Every tab fits, so the bar needs no scroll arrows; on a screen too narrow
  // for that (the test platform's is 800 pixels) the window takes its width.
  QTabBar* bar = w.sheet()->tabBar();
  const int screen_width = w.screen()->availableGeometry().width();
  auto fits = [bar] {
    return bar->tabRect(0).left() >= 0 && bar->tabRect(bar->count() - 1).right() < bar->width();
  };
  QTRY_VERIFY_WITH_TIMEOUT(fits() || w.width() >= screen_width, kDeviceWaitMs);

  w.show_all_action()->trigger();
  QVERIFY(!rig.page().download_db()->isVisible());
}

void WindowTrustTest::RecordTheSerialLineWritesADatedTraceAndIsRemembered() {
  UiRig rig;
  rig.StartDevice(devsim::Scenario{});
  CDataDownloader& w = rig.Open();
  QVERIFY(!w.record_line_action()->isChecked());
  QMenu* view = nullptr;
  for (QAction* a : w.menu_bar()->actions()) {
    if (a->text() == "&View") view = a->menu();
  }
  QVERIFY(view != nullptr && view->actions().contains(w.record_line_action()));
  const QStringList before = TraceFiles();
  w.record_line_action()->trigger();

  rig.SelectPort("sim");
  rig.ConnectAndSettle();
  const QString path = rig.page().trace_path();
  QVERIFY(!path.isEmpty());
  QVERIFY2(QFileInfo(path).fileName().contains(
               QRegularExpression(R"(^trace-\d{4}-\d\d-\d\d-\d{6}(-\d+)?\.txt$)")),
           qPrintable(path));
  QVERIFY(rig.HasLine("Recording the serial line to " + path));
  // Written to the side while the link is up.
  QVERIFY(QFile::exists(path + ".part"));
  QVERIFY(!QFile::exists(path));

  rig.page().connect_button()->click();
  QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path) && !rig.page().device_call_running(), kDeviceWaitMs);
  QVERIFY(!QFile::exists(path + ".part"));
  const std::vector<trace::Line> lines = ReadLines(path);
  const auto has = [&lines](trace::Direction d) {
    return std::any_of(lines.begin(), lines.end(),
                       [d](const trace::Line& l) { return l.direction == d; });
  };
  QVERIFY(has(trace::Direction::kHost));
  QVERIFY(has(trace::Direction::kDevice));
  QVERIFY(!lines.empty() && lines.front().direction == trace::Direction::kNote);
  QVERIFY(lines.front().bytes.rfind("open ", 0) == 0);
  QCOMPARE(lines.back().direction, trace::Direction::kNote);
  QCOMPARE(QString::fromStdString(lines.back().bytes), QString("close"));
  QFile file(path);
  QVERIFY(file.open(QIODevice::ReadOnly));
  QVERIFY(file.readLine().startsWith("# tessor trace 1"));
  QCOMPARE(TraceFiles().size(), before.size() + 1);

  // The choice outlives the window; switched off, a connection leaves no trace.
  rig.window.reset();
  CDataDownloader& again = rig.Open();
  QVERIFY(again.record_line_action()->isChecked());
  QVERIFY(rig.page().record_line());
  again.record_line_action()->trigger();
  ConnectAndDisconnect(rig);
  QCOMPARE(TraceFiles().size(), before.size() + 1);
  rig.window.reset();
  QVERIFY(!rig.Open().record_line_action()->isChecked());
}

void WindowTrustTest::ATraceThatCannotBeMadeIsSaidAndTheConnectionGoesOn() {
  UiRig rig;
  rig.StartDevice(devsim::Scenario{});
  CDataDownloader& w = rig.Open();
  w.record_line_action()->trigger();
  const NoDataFolder blocked(rig.dir.filePath("a file"));
  QVERIFY(DataFolder().empty());

  rig.SelectPort("sim");
  rig.ConnectAndSettle();
  QVERIFY(rig.HasLine("Cannot record the serial line: there is no data folder."));
  QVERIFY(rig.page().trace_path().isEmpty());
  QVERIFY(&rig.engine->transport() == &rig.engine->port);
  rig.page().connect_button()->click();
  QTRY_VERIFY_WITH_TIMEOUT(!rig.page().connected() && !rig.page().device_call_running() &&
                               rig.page().connect_button()->isEnabled(),
                           kDeviceWaitMs);
}

void WindowTrustTest::AFailedConnectCompletesItsTrace() {
  // A device silent from the first query, then one that stops in the handshake.
  for (const int command : {100, 108}) {
    devsim::Scenario s;
    s.faults.silent = {{command, 1000}};
    UiRig rig;
    rig.StartDevice(s);
    CDataDownloader& w = rig.Open();
    w.record_line_action()->trigger();
    rig.SelectPort("sim");
    rig.page().connect_button()->click();
    const QString path = rig.page().trace_path();
    QVERIFY(!path.isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path) && !rig.page().device_call_running() &&
                                 rig.page().connect_button()->isEnabled(),
                             kDeviceWaitMs);
    QVERIFY(!rig.page().connected());
    QVERIFY(!QFile::exists(path + ".part"));
    const std::vector<trace::Line> lines = ReadLines(path);
    QVERIFY(!lines.empty());
    QCOMPARE(QString::fromStdString(lines.back().bytes), QString("close"));
    QVERIFY(&rig.engine->transport() == &rig.engine->port);
  }
}

void WindowTrustTest::SizeAndPlaceAreRestored() {
  UiRig rig;
  CDataDownloader& first = rig.Open();
  first.resize(700, 530);
  first.move(40, 50);
  QTRY_VERIFY_WITH_TIMEOUT(first.size() == QSize(700, 530), kDeviceWaitMs);
  const QPoint place = first.pos();
  rig.window.reset();

  CDataDownloader& again = rig.Open();
  QCOMPARE(again.size(), QSize(700, 530));
  QCOMPARE(again.pos(), place);
}

void WindowTrustTest::WindowAndAboutPageCarryTheIcon() {
  UiRig rig;
  CDataDownloader& w = rig.Open();
  QVERIFY(QFile::exists(kProgramIconPath));
  QVERIFY(!w.windowIcon().pixmap(32, 32).isNull());
  QVERIFY(!w.about_page()->icon()->pixmap().isNull());
  QVERIFY(!w.tray()->icon().isNull());
}

}  // namespace tessor::test
