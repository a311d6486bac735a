#include "upload_result_test.h"

#include <QFile>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSignalSpy>

#include "database/data_folder.h"
#include "ui_fixture.h"

namespace tessor::test {

namespace {
const QString kUploadFailed =
    "Failed to upload the DB, please check the connection or the device!!";
const QString kDownloadFailed =
    "Failed to download the DB, please check the connection or the device!!";
const QString kReset = "Please RESET the Device and Reconnect the device!!";
const QString kIdentical = "They are Identical !!";
const QString kUpload = "Upload";
const QString kDownload = "Database download";

// The forced disconnect after a job has run to its end.
bool Disconnected(UiRig& rig) {
  return !rig.page().connected() && !rig.page().device_call_running() &&
         !rig.engine->link_flag.load();
}

void WriteUploadedCopy(const std::vector<uint8_t>& bytes) {
  QFile file(QString::fromStdString(DataFolder() + "/ULDB.bin"));
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
}
}  // namespace

void UploadResultTest::DeviceLostMidUploadShowsTheFailureAndKeepsTheList() {
  UiRig rig;
  rig.StartDevice(UiRig::SlowDevice());
  rig.Open();
  CDlgConnection& p = rig.page();
  rig.ConnectAndSettle();
  QSignalSpy ended(&p, &CDlgConnection::jobEnded);
  rig.StartUpload(UiRig::LargeImage());
  QTRY_VERIFY_WITH_TIMEOUT(p.progress()->value() >= 21, kDeviceWaitMs);
  QVERIFY(p.JobRunning());
  rig.sim.reset();  // the device is gone, as when it is unplugged

  QTRY_VERIFY_WITH_TIMEOUT(rig.HasMessage(kUploadFailed), kDeviceWaitMs);
  // A failure is told apart from a finished job by its icon too.
  QCOMPARE(rig.messages[rig.MessageIndex(kUploadFailed)].icon, QMessageBox::Warning);
  QTRY_VERIFY_WITH_TIMEOUT(Disconnected(rig), kDeviceWaitMs);
  QVERIFY(!rig.HasMessage(kReset));
  QCOMPARE(rig.MessageIndex("The database was uploaded"), -1);
  QVERIFY(!p.JobRunning());
  QCOMPARE(ended.count(), 1);
  QCOMPARE(ended[0][0].toString(), kUpload);
  QVERIFY(!ended[0][1].toBool());
  // The user can still read what happened after the disconnect.
  QCOMPARE(p.connect_button()->text(), QString("Connect"));
  QVERIFY(rig.HasLine("Upload DataBase."));
  QVERIFY(rig.HasLine(kUploadFailed));
  QVERIFY(!rig.HasLine("Finished uploading VELD Data."));
  p.clear_action()->trigger();
  QCOMPARE(p.status_list()->count(), 0);
}

void UploadResultTest::FinishedUploadSaysSizeAndTimeBeforeTheReset() {
  devsim::Scenario s;
  s.erase_reports_ms = 300;
  UiRig rig;
  rig.StartDevice(s);
  rig.Open();
  CDlgConnection& p = rig.page();
  rig.ConnectAndSettle();
  QSignalSpy progress(&p, &CDlgConnection::jobProgress);
  QSignalSpy ended(&p, &CDlgConnection::jobEnded);
  const std::vector<uint8_t> image = UiRig::MakeImage(40);
  rig.StartUpload(image);
  // The upload starts on the page's timer; the erase wait keeps it running a while.
  QTRY_VERIFY_WITH_TIMEOUT(p.JobRunning(), kDeviceWaitMs);
  QCOMPARE(p.RunningJobText(), QString("an upload is running"));
  QTRY_VERIFY_WITH_TIMEOUT(rig.HasMessage(kReset), kDeviceWaitMs);
  QTRY_VERIFY_WITH_TIMEOUT(Disconnected(rig), kDeviceWaitMs);

  const int done = rig.MessageIndex("The database was uploaded");
  QVERIFY(done >= 0);
  QVERIFY(done < rig.MessageIndex(kReset));
  const QString text = rig.messages[size_t(done)].text;
  const QRegularExpression form(
      QString("^The database was uploaded: %1 bytes in \\d+\\.\\d s\\.$").arg(image.size()));
  QVERIFY2(form.match(text).hasMatch(), qPrintable(text));
  QVERIFY(!rig.HasMessage(kUploadFailed));
  // The list survives the disconnect that the reset forces.
  QVERIFY(rig.HasLine(text));
  QVERIFY(rig.HasLine("Finished uploading VELD Data."));
  QCOMPARE(rig.sim->DatabaseDump(), image);

  QVERIFY(progress.count() > 0);
  qint64 last = 0;
  for (const QList<QVariant>& step : progress) {
    QCOMPARE(step[0].toString(), kUpload);
    QCOMPARE(step[2].toLongLong(), qint64(image.size()));
    QVERIFY(step[1].toLongLong() >= last);
    last = step[1].toLongLong();
  }
  QCOMPARE(last, qint64(image.size()));
  QCOMPARE(ended.count(), 1);
  QCOMPARE(ended[0][0].toString(), kUpload);
  QVERIFY(ended[0][1].toBool());
  QVERIFY(!p.JobRunning());
  QVERIFY(p.RunningJobText().isEmpty());
}

void UploadResultTest::CancelStopsTheUploadAndSaysSo() {
  UiRig rig;
  rig.StartDevice(UiRig::SlowDevice());
  rig.Open();
  CDlgConnection& p = rig.page();
  rig.ConnectAndSettle();
  QSignalSpy ended(&p, &CDlgConnection::jobEnded);
  const std::vector<uint8_t> image = UiRig::LargeImage();
  rig.StartUpload(image);
  QTRY_VERIFY_WITH_TIMEOUT(p.progress()->value() >= 10, kDeviceWaitMs);
  QCOMPARE(p.RunningJobText(), QString("an upload is running"));
  p.CancelJob();

  QTRY_VERIFY_WITH_TIMEOUT(Disconnected(rig), kDeviceWaitMs);
  QVERIFY(rig.HasLine("Upload cancelled."));
  QVERIFY(!rig.HasLine("Finished uploading VELD Data."));
  QVERIFY(!rig.HasMessage(kReset));
  QVERIFY(!rig.HasMessage(kUploadFailed));
  QCOMPARE(rig.MessageIndex("The database was uploaded"), -1);
  QCOMPARE(ended.count(), 1);
  QCOMPARE(ended[0][0].toString(), kUpload);
  QVERIFY(!ended[0][1].toBool());
  QVERIFY(!p.JobRunning());
  QVERIFY(rig.sim->DatabaseDump().size() < image.size());
  // The device is still there: the page is ready to connect again.
  QVERIFY(p.connect_button()->isEnabled());
  QVERIFY(rig.window->close_enabled());
}

void UploadResultTest::DownloadShowsIdenticalOrTheFirstDifference() {
  const std::vector<uint8_t> image = UiRig::MakeImage(30);
  std::vector<uint8_t> other = image;
  other[70] ^= 0x55;
  struct Case {
    std::vector<uint8_t> uploaded;
    QString verdict;
  };
  for (const Case& c :
       {Case{image, kIdentical}, Case{other, "Data is not identical at offset 70"}}) {
    WriteUploadedCopy(c.uploaded);
    devsim::Scenario s;
    s.database = image;
    UiRig rig;
    rig.StartDevice(s);
    rig.Open();
    CDlgConnection& p = rig.page();
    QVERIFY(!p.download_db()->isVisible());
    p.SetDownloadVisible(true);
    QVERIFY(p.download_db()->isVisible());
    rig.ConnectAndSettle();
    QSignalSpy progress(&p, &CDlgConnection::jobProgress);
    QSignalSpy ended(&p, &CDlgConnection::jobEnded);
    QVERIFY(p.download_db()->isEnabled());
    p.download_db()->click();
    QCOMPARE(p.RunningJobText(), QString("a database download is running"));
    QTRY_VERIFY_WITH_TIMEOUT(rig.HasMessage(kReset), kDeviceWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(Disconnected(rig), kDeviceWaitMs);

    const int verdict = rig.MessageIndex(c.verdict);
    QVERIFY2(verdict >= 0, qPrintable(c.verdict));
    QVERIFY(verdict < rig.MessageIndex(kReset));
    if (c.verdict != kIdentical) QVERIFY(!rig.HasMessage(kIdentical));
    QVERIFY(progress.count() > 0);
    for (const QList<QVariant>& step : progress) {
      QCOMPARE(step[0].toString(), kDownload);
      QVERIFY(step[1].toLongLong() <= step[2].toLongLong());
    }
    QCOMPARE(ended.count(), 1);
    QCOMPARE(ended[0][0].toString(), kDownload);
    QVERIFY(ended[0][1].toBool());
  }
}

void UploadResultTest::FailedDownloadIsNeverShownAsIdentical() {
  // Both files the comparison reads hold the same bytes; only the read fails.
  const std::vector<uint8_t> image = UiRig::MakeImage(4);
  WriteUploadedCopy(image);
  devsim::Scenario s;
  s.database = image;
  s.faults.silent = {{115, 100000}};
  UiRig rig;
  rig.StartDevice(s);
  rig.Open();
  CDlgConnection& p = rig.page();
  p.SetDownloadVisible(true);
  rig.ConnectAndSettle();
  QTRY_VERIFY_WITH_TIMEOUT(p.download_db()->isEnabled(), kDeviceWaitMs);
  QSignalSpy ended(&p, &CDlgConnection::jobEnded);
  p.download_db()->click();
  QTRY_VERIFY_WITH_TIMEOUT(ended.count() == 1, kDeviceWaitMs);
  QCOMPARE(ended[0][0].toString(), kDownload);
  QVERIFY(!ended[0][1].toBool());
  QVERIFY(rig.HasMessage(kDownloadFailed));
  QCOMPARE(rig.messages[rig.MessageIndex(kDownloadFailed)].icon, QMessageBox::Warning);
  QVERIFY(!rig.HasMessage(kIdentical));
  QVERIFY(!rig.HasMessage(kReset));
  QVERIFY(rig.HasLine("Download DB Header...Failure"));
  QVERIFY(!p.JobRunning());
}

}  // namespace tessor::test
