#include "logger_trust_test.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTimer>
#include <functional>

#include "app/shell.h"
#include "logger_rig.h"
#include "ui/choose_folder.h"
#include "ui/dlg_config.h"
#include "ui/dlg_device_status.h"
#include "ui/dlg_file_conversion.h"
#include "ui/question_seam.h"

namespace tessor::test {

namespace {
devsim::Scenario Tracks(const std::vector<devsim::TrackSource>& tracks) {
  devsim::Scenario s;
  s.flash_usage = std::array<uint32_t, 4>{220, 8388608, 3, 30};
  s.tracks = tracks;
  return s;
}

// Connects to a logger with these tracks and shows the download page over a
// fresh folder; nullptr when the connection failed.
CDlgFileConversion* DownloadPage(UiRig& rig, const std::vector<devsim::TrackSource>& tracks) {
  rig.StartDevice(Tracks(tracks));
  ConnectLogger(rig);
  if (QTest::currentTestFailed()) return nullptr;
  const QString folder = rig.dir.filePath("nmea");
  QDir().mkpath(folder);
  rig.window->settings.nmea_path = folder.toUtf8();
  ShowPage(rig, CDataDownloader::kPageFileConversion);
  return rig.window->file_conversion_page();
}

CDlgDeviceStatus* StatusPage(UiRig& rig) {
  rig.StartDevice(Tracks({GeneratedTrack(70314, 0, 40)}));
  ConnectLogger(rig);
  if (QTest::currentTestFailed()) return nullptr;
  ShowPage(rig, CDataDownloader::kPageDeviceStatus);
  CDlgDeviceStatus* p = rig.window->device_status_page();
  if (!QTest::qWaitFor([p] { return !p->loading(); }, kDeviceWaitMs)) return nullptr;
  return p;
}

QStringList Files(const UiRig& rig) {
  return QDir(rig.dir.filePath("nmea")).entryList(QDir::Files | QDir::Hidden);
}

bool HasLineContaining(const UiRig& rig, const QString& part) {
  const QListWidget* list = rig.window->connection_page()->status_list();
  for (int i = 0; i < list->count(); ++i) {
    if (list->item(i)->text().contains(part, Qt::CaseInsensitive)) return true;
  }
  return false;
}

// Answers the first modal dialog of the given type once it is up: the real
// dialog, not a handler. Stops with the scope, so it never answers a later test.
template <typename Dialog>
class ModalAnswer {
 public:
  explicit ModalAnswer(std::function<void(Dialog*)> answer) {
    QObject::connect(&poll_, &QTimer::timeout, [this, answer = std::move(answer)] {
      auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr || !dialog->isVisible()) return;
      poll_.stop();
      answered_ = true;
      answer(dialog);
    });
    poll_.start(20);
  }
  bool answered() const { return answered_; }

 private:
  QTimer poll_;
  bool answered_ = false;
};
}  // namespace

void LoggerTrustTest::TrackDownloadReportsTheChosenTracksBytes() {
  UiRig rig;
  CDlgFileConversion* page =
      DownloadPage(rig, {GeneratedTrack(70314, 1, 30), GeneratedTrack(70320, 2, 50)});
  if (page == nullptr) return;
  CDlgFileConversion& p = *page;
  QSignalSpy progress(&p, &CDlgFileConversion::jobProgress);
  QSignalSpy ended(&p, &CDlgFileConversion::jobEnded);
  QVERIFY(!p.JobRunning());
  p.log_list()->item(0)->setSelected(true);
  p.log_list()->item(1)->setSelected(true);
  p.start_button()->click();
  QVERIFY(p.JobRunning());
  QVERIFY(p.RunningJobText().contains("download"));
  QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, kDeviceWaitMs);
  QCOMPARE(ended[0][0].toString(), QString("Track download"));
  QVERIFY(ended[0][1].toBool());
  QVERIFY(!p.JobRunning());
  const qint64 total = 30 * 16 + 50 * 20;
  QVERIFY(progress.count() >= 2);
  qint64 last = -1;
  for (const QList<QVariant>& step : progress) {
    QCOMPARE(step[0].toString(), QString("Track download"));
    QCOMPARE(step[2].toLongLong(), total);
    QVERIFY(step[1].toLongLong() >= last);
    last = step[1].toLongLong();
  }
  QCOMPARE(progress.first()[1].toLongLong(), qint64{0});
  QCOMPARE(last, total);
  QCOMPARE(Files(rig).size(), 2);
}

// Stopped while the logger is busy, before any byte of the track: no file,
// no success, a line that says it was cancelled. A link that goes down ends a
// download as failed, too.
void LoggerTrustTest::CancelledTrackDownloadStopsWithoutFinishing() {
  UiRig rig;
  CDlgFileConversion* page = DownloadPage(rig, {GeneratedTrack(70314, 2, 1500)});
  if (page == nullptr) return;
  CDlgFileConversion& p = *page;
  QSignalSpy ended(&p, &CDlgFileConversion::jobEnded);
  rig.sim->HoldBusy(true);
  p.log_list()->item(0)->setSelected(true);
  p.start_button()->click();
  QTRY_VERIFY_WITH_TIMEOUT(rig.sim->TranscriptText().find("$PKVN102,") != std::string::npos,
                           kDeviceWaitMs);
  p.CancelJob();
  // Were the download not stopped, it would now run to its end.
  rig.sim->HoldBusy(false);
  QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, kDeviceWaitMs);
  QVERIFY(!ended[0][1].toBool());
  QVERIFY(!p.JobRunning());
  QVERIFY(rig.HasLine(CDlgFileConversion::kCancelledLine));
  QVERIFY(!HasLineContaining(rig, "finished"));
  QCOMPARE(Files(rig), QStringList());
  QCOMPARE(p.nmea_list()->count(), 0);
  QVERIFY(p.percent()->text() != "100%");
  QTRY_VERIFY_WITH_TIMEOUT(p.start_button()->isEnabled(), kDeviceWaitMs);
  QVERIFY(rig.messages.empty());

  rig.sim->HoldBusy(true);
  p.start_button()->click();
  QTRY_VERIFY_WITH_TIMEOUT(!rig.engine->ignore_blocks.load(), kDeviceWaitMs);
  QVERIFY(p.JobRunning());
  // The window's word that the link is down ends the job at once, and once.
  rig.window->ForwardLinkState(false);
  QCOMPARE(ended.count(), 2);
  QVERIFY(!ended[1][1].toBool());
  QVERIFY(!p.JobRunning());
  QVERIFY(!p.timer_active());
  rig.sim.reset();
  QTRY_VERIFY_WITH_TIMEOUT(!rig.engine->ThreadRunning(CDeviceEngine::kSlotTrackDownload),
                           kDeviceWaitMs);
  QCOMPARE(ended.count(), 2);
}

void LoggerTrustTest::EraseHasNoMeasureAndCannotBeCancelled() {
  UiRig rig;
  CDlgDeviceStatus* page = StatusPage(rig);
  if (page == nullptr) return;
  CDlgDeviceStatus& p = *page;
  QSignalSpy progress(&p, &CDlgDeviceStatus::jobProgress);
  QSignalSpy ended(&p, &CDlgDeviceStatus::jobEnded);
  SetQuestionHandler([](QWidget*, const QString&) { return true; });
  rig.sim->HoldBusy(true);
  p.erase_button()->click();
  QVERIFY(p.JobRunning());
  QCOMPARE(p.RunningJobText(), QString("an erase is running"));
  QTRY_VERIFY_WITH_TIMEOUT(p.erase_running(), kDeviceWaitMs);
  // Asked to stop, the page says it cannot and keeps following the erase.
  p.CancelJob();
  QVERIFY(rig.HasMessage(CDlgDeviceStatus::kEraseUnstoppable));
  QVERIFY(p.JobRunning());
  QCOMPARE(ended.count(), 0);
  // Closing the window offers no cancel for it either: it says why and stays.
  int asked = 0;
  SetQuestionHandler([&asked](QWidget*, const QString&) {
    ++asked;
    return true;
  });
  rig.window->show();
  QVERIFY(!rig.window->close());
  QCOMPARE(asked, 0);
  QVERIFY(rig.HasMessage(
      "The window cannot close while an erase is running; it can once it has finished."));
  QVERIFY(p.JobRunning());
  rig.sim->HoldBusy(false);
  QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, kDeviceWaitMs);
  SetQuestionHandler({});
  QCOMPARE(ended[0][0].toString(), QString("Erase"));
  QVERIFY(ended[0][1].toBool());
  QCOMPARE(p.elapsed()->text(), LoadText(170));
  QVERIFY(!p.JobRunning());
  QVERIFY(progress.count() >= 1);
  for (const QList<QVariant>& step : progress) {
    QCOMPARE(step[0].toString(), QString("Erase"));
    QCOMPARE(step[1].toLongLong(), qint64{0});
    QCOMPARE(step[2].toLongLong(), qint64{0});
  }
  QCOMPARE(SentCount(rig, 109), 1);
  // Nothing to cancel any more: no box.
  const size_t boxes = rig.messages.size();
  p.CancelJob();
  QCOMPARE(rig.messages.size(), boxes);
}

// The question guards what cannot be undone: Enter alone must not confirm it.
void LoggerTrustTest::EnterOnTheRealEraseQuestionErasesNothing() {
  UiRig rig;
  CDlgDeviceStatus* page = StatusPage(rig);
  if (page == nullptr) return;
  CDlgDeviceStatus& p = *page;
  SetQuestionHandler({});
  QString asked;
  ModalAnswer<QMessageBox> enter([&asked](QMessageBox* box) {
    asked = box->text();
    QTest::keyClick(box, Qt::Key_Return);
  });
  p.erase_button()->click();
  QVERIFY(enter.answered());
  QCOMPARE(asked, LoadText(168));
  QVERIFY(!p.JobRunning());
  QVERIFY(!p.device_call_running());
  QVERIFY(!p.erase_running());
  QVERIFY(p.erase_button()->isEnabled());
  // Whatever the click had sent would reach the device before this query does.
  uint8_t battery = 0;
  QCOMPARE(rig.engine->QueryBattery(&battery), int(kResultOk));
  QCOMPARE(SentCount(rig, 109), 0);
}

void LoggerTrustTest::IntervalOutsideItsRangeIsRefusedAndNotSent() {
  UiRig rig;
  CDlgDeviceStatus* page = StatusPage(rig);
  if (page == nullptr) return;
  CDlgDeviceStatus& p = *page;
  const int modes = SentCount(rig, 113);
  const uint8_t saved = rig.window->settings.interval;
  for (const char* typed : {"99", "0", "61", "000"}) {
    rig.messages.clear();
    p.interval()->setText(typed);
    p.set_config()->click();
    QCOMPARE(rig.messages.size(), size_t{1});
    QCOMPARE(rig.messages[0].text, LoadText(160));
    QVERIFY(!p.device_call_running());
    QCOMPARE(rig.window->settings.interval, saved);
  }
  // Other device models name 5 to 60 and are held to it.
  QComboBox* model = rig.page().device_type();
  {
    const QSignalBlocker quiet(model);
    model->addItem("other model");
    model->setCurrentIndex(model->count() - 1);
  }
  rig.messages.clear();
  p.interval()->setText("4");
  p.set_config()->click();
  QCOMPARE(rig.messages.size(), size_t{1});
  QCOMPARE(rig.messages[0].text, QString("Please input interval value.(5~60)"));

  // The device configuration page keeps to the same range.
  CDlgConfig& config = *rig.window->config_page();
  rig.messages.clear();
  config.interval()->setText("61");
  config.SetConfigClicked();
  QCOMPARE(rig.messages.size(), size_t{1});
  QCOMPARE(rig.messages[0].text, LoadText(160));
  QVERIFY(!config.device_call_running());
  uint8_t battery = 0;
  QCOMPARE(rig.engine->QueryBattery(&battery), int(kResultOk));
  QCOMPARE(SentCount(rig, 104), 0);
  QCOMPARE(SentCount(rig, 113), modes);

  // The ends of the range are taken.
  rig.messages.clear();
  p.interval()->setText("60");
  p.set_config()->click();
  QTRY_VERIFY_WITH_TIMEOUT(rig.HasMessage(LoadText(162)), kDeviceWaitMs);
  QVERIFY(rig.sim->TranscriptText().find("H $PKVN104,0,60,") != std::string::npos);
  config.interval()->setText("1");
  config.SetConfigClicked();
  QTRY_VERIFY_WITH_TIMEOUT(!config.device_call_running(), kDeviceWaitMs);
  QVERIFY(rig.sim->TranscriptText().find("H $PKVN104,0,1,") != std::string::npos);
}

void LoggerTrustTest::FolderChooserStartsWhereTheUsersFilesAre() {
  UiRig rig;
  const QString tracks = rig.dir.filePath("tracks");
  QVERIFY(QDir().mkpath(tracks));
  rig.store().setValue("NMEA Path", tracks.toUtf8());
  CDataDownloader& w = rig.Open();
  w.SetShowAllPages(true);
  ShowPage(rig, CDataDownloader::kPageConfig);
  // The real chooser opens on the folder in use; cancelled, it changes nothing.
  QString opened;
  ModalAnswer<QFileDialog> cancel([&opened](QFileDialog* dialog) {
    opened = dialog->directory().absolutePath();
    dialog->reject();
  });
  w.config_page()->folder_button()->click();
  QVERIFY(cancel.answered());
  QCOMPARE(opened, tracks);
  QCOMPARE(w.settings.nmea_path, tracks.toUtf8());

  // A folder that is gone gives way to the data folder, then to the home folder.
  const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  QVERIFY(QDir().mkpath(data));
  const QByteArray gone = rig.dir.filePath("gone").toUtf8();
  QCOMPARE(ChooserStartFolder(gone), data);
  QCOMPARE(ChooserStartFolder({}), data);
  const QByteArray data_home = qgetenv("XDG_DATA_HOME");
  qputenv("XDG_DATA_HOME", rig.dir.filePath("no-data-home").toUtf8());
  const QString fallback = ChooserStartFolder(gone);
  qputenv("XDG_DATA_HOME", data_home);
  QCOMPARE(fallback, QDir::homePath());
}

}  // namespace tessor::test
