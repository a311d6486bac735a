#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <fstream>

#include "app/settings_store.h"
#include "app/shell.h"
#include "database/number_text.h"
#include "logger/track_export.h"
#include "logger/track_points.h"
#include "logger/track_resume.h"
#include "logger_rig.h"
#include "logger_tests.h"
#include "ui/dlg_config.h"
#include "ui/dlg_device_status.h"
#include "ui/dlg_file_conversion.h"
#include "ui/question_seam.h"

namespace tessor::test {

namespace {
devsim::Scenario Tracks(const std::vector<devsim::TrackSource>& tracks) {
  devsim::Scenario s;
  s.tracks = tracks;
  return s;
}

CDlgFileConversion& ShowConversion(UiRig& rig, const QString& folder) {
  if (!folder.isEmpty()) {
    QDir().mkpath(folder);
    rig.window->settings.nmea_path = folder.toUtf8();
  }
  ShowPage(rig, CDataDownloader::kPageFileConversion);
  return *rig.window->file_conversion_page();
}

// Connects to a logger holding one track and shows the page over an NMEA
// folder; nullptr when the connection failed.
CDlgFileConversion* ConnectedTo(UiRig& rig, const devsim::TrackSource& track,
                                const QString& folder) {
  rig.StartDevice(Tracks({track}));
  ConnectLogger(rig);
  if (QTest::currentTestFailed()) return nullptr;
  return &ShowConversion(rig, folder);
}

// Chooses the first listed track and presses ">".
void StartFirst(CDlgFileConversion& p) {
  p.log_list()->item(0)->setSelected(true);
  p.start_button()->click();
}

QStringList Items(const QListWidget* list) {
  QStringList items;
  for (int i = 0; i < list->count(); ++i) items << list->item(i)->text();
  return items;
}

QByteArray Read(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}
}  // namespace

void FileConversionTest::NothingSelectedShows166AndContactsNothing() {
  UiRig rig;
  rig.StartDevice(Tracks({GeneratedTrack(70314, 0, 20)}));
  ConnectLogger(rig);
  if (QTest::currentTestFailed()) return;
  CDlgFileConversion& p = ShowConversion(rig, rig.dir.filePath("nmea"));
  QCOMPARE(Items(p.log_list()), QStringList({"0_70314"}));
  QVERIFY(p.start_button()->isEnabled());
  const int modes = SentCount(rig, 113);
  p.start_button()->click();
  QCOMPARE(rig.messages.size(), size_t{1});
  QCOMPARE(rig.messages[0].text, LoadText(166));
  QVERIFY(!p.timer_active());
  QVERIFY(rig.page().connect_button()->isEnabled());
  // Whatever the click had sent would reach the device before this query does.
  uint8_t battery = 0;
  QCOMPARE(rig.engine->QueryBattery(&battery), int(kResultOk));
  QCOMPARE(SentCount(rig, 102), 0);
  QCOMPARE(SentCount(rig, 113), modes);
}

void FileConversionTest::EmptyFolderShows167AfterTheConnectionControlsWentOff() {
  UiRig rig;
  rig.StartDevice(Tracks({GeneratedTrack(70314, 0, 20)}));
  ConnectLogger(rig);
  if (QTest::currentTestFailed()) return;
  CDlgFileConversion& p = ShowConversion(rig, {});
  QVERIFY(rig.window->settings.nmea_path.isEmpty());
  bool connect_on_at_box = true;
  SetMessageBoxHandler([&](QWidget*, const MessageRecord& m) {
    rig.messages.push_back(m);
    connect_on_at_box =
        rig.page().connect_button()->isEnabled() || rig.page().download_db()->isEnabled();
  });
  p.log_list()->item(0)->setSelected(true);
  p.start_button()->click();
  QCOMPARE(rig.messages.size(), size_t{1});
  QCOMPARE(rig.messages[0].text, LoadText(167));
  QVERIFY(!connect_on_at_box);
  // The folder is chosen on the configuration page; the connection page gets its controls back.
  QCOMPARE(rig.window->ActivePage(), int(CDataDownloader::kPageConfig));
  QVERIFY(rig.page().connect_button()->isEnabled());
  QVERIFY(rig.page().download_db()->isEnabled());
  QVERIFY(!p.timer_active());
  QCOMPARE(SentCount(rig, 102), 0);
}

void FileConversionTest::FileIsNamedByTrackIndexNotListPlace() {
  devsim::TrackSource refused;
  refused.refused = true;
  const devsim::TrackSource track = GeneratedTrack(70315, 1, 30);
  UiRig rig;
  rig.StartDevice(Tracks({refused, track}));
  ConnectLogger(rig);
  if (QTest::currentTestFailed()) return;
  const QString folder = rig.dir.filePath("nmea");
  CDlgFileConversion& p = ShowConversion(rig, folder);
  QCOMPARE(Items(p.log_list()), QStringList({"1_70315"}));
  p.log_list()->item(0)->setSelected(true);
  p.start_button()->click();
  QTRY_VERIFY_WITH_TIMEOUT(!p.timer_active(), kDeviceWaitMs);
  QCOMPARE(Items(p.nmea_list()), QStringList({"00001_70315.nmea"}));
  QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList({"00001_70315.nmea"}));
  QCOMPARE(Read(QDir(folder).filePath("00001_70315.nmea")),
           QByteArray::fromStdString(ReferenceNmea(track)));
  QCOMPARE(p.selection_total(), 30u * 16u);
  QCOMPARE(p.percent()->text(), QString("100%"));
  QCOMPARE(p.received()->text(), QString("00000480"));
  QCOMPARE(p.total()->text(), QString("00000480"));
  QVERIFY(p.start_button()->isEnabled());
  QVERIFY(!p.elapsed()->text().isEmpty());
}

void FileConversionTest::ThreeTracksListedInOrderEqualToTheReference() {
  const std::vector<devsim::TrackSource> tracks = {
      GeneratedTrack(70314, 0, 120), GeneratedTrack(70320, 2, 90), GeneratedTrack(71231, 1, 60)};
  UiRig rig;
  rig.StartDevice(Tracks(tracks));
  ConnectLogger(rig);
  if (QTest::currentTestFailed()) return;
  const QString folder = rig.dir.filePath("out");
  CDlgFileConversion& p = ShowConversion(rig, folder);
  for (int i = 0; i < 3; ++i) p.log_list()->item(i)->setSelected(true);
  p.start_button()->click();
  QVERIFY(p.timer_active());
  QVERIFY(!p.start_button()->isEnabled());
  QVERIFY(!p.log_list()->isEnabled());
  QVERIFY(!rig.page().connect_button()->isEnabled());
  QCOMPARE(p.total()->text(), QString("00004200"));
  QTRY_VERIFY_WITH_TIMEOUT(!p.timer_active(), kDeviceWaitMs);
  const QStringList names = {"00000_70314.nmea", "00001_70320.nmea", "00002_71231.nmea"};
  QCOMPARE(Items(p.nmea_list()), names);
  for (int i = 0; i < 3; ++i) {
    QCOMPARE(Read(QDir(folder).filePath(names[i])),
             QByteArray::fromStdString(ReferenceNmea(tracks[i])));
  }
  QCOMPARE(p.percent()->text(), QString("100%"));
  QTRY_VERIFY_WITH_TIMEOUT(rig.page().connect_button()->isEnabled(), kDeviceWaitMs);
  // The photo tool finds the folder where it looks for it.
  QSettings locr("locr", "LocrClient");
  QCOMPARE(locr.value("LoadFilesAtStartup").toInt(), 1);
  QCOMPARE(locr.value("DirectoryGpsFile").toString(), folder);
  QVERIFY(rig.messages.empty());

  // The next download lists only its own choice.
  p.log_list()->clearSelection();
  p.log_list()->item(1)->setSelected(true);
  p.start_button()->click();
  QCOMPARE(p.nmea_list()->count(), 0);
  QTRY_VERIFY_WITH_TIMEOUT(!p.timer_active(), kDeviceWaitMs);
  QCOMPARE(Items(p.nmea_list()), QStringList({names[1]}));
}

void FileConversionTest::PhotoToolNeedsAToolThenStartsIt() {
  UiRig rig;
  CDataDownloader& w = rig.Open();
  w.SetShowAllPages(true);
  CDlgFileConversion& p = *w.file_conversion_page();
  p.PhotoToolClicked();
  QCOMPARE(rig.messages.size(), size_t{1});
  QCOMPARE(rig.messages[0].text, QString("Please setting the photo math tool."));
  QCOMPARE(w.ActivePage(), int(CDataDownloader::kPageConfig));

  const QString mark = rig.dir.filePath("started");
  const QString tool = rig.dir.filePath("photo-tool");
  QFile script(tool);
  QVERIFY(script.open(QIODevice::WriteOnly));
  script.write(QString("#!/bin/sh\ntouch '%1'\n").arg(mark).toUtf8());
  script.close();
  script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  w.settings.tool_file = tool;
  p.PhotoToolClicked();
  QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(mark), 10000);
  QCOMPARE(rig.messages.size(), size_t{1});

  w.settings.tool_file = rig.dir.filePath("no-such-tool");
  p.PhotoToolClicked();
  QCOMPARE(rig.messages.size(), size_t{2});
  QVERIFY(rig.messages[1].text.startsWith(w.settings.tool_file + ": "));
}

void FileConversionTest::DisconnectEmptiesTheFileListAndStopsTheTimer() {
  UiRig rig;
  CDlgFileConversion* page =
      ConnectedTo(rig, GeneratedTrack(70314, 0, 40), rig.dir.filePath("nmea"));
  if (page == nullptr) return;
  CDlgFileConversion& p = *page;
  StartFirst(p);
  QTRY_VERIFY_WITH_TIMEOUT(!p.timer_active(), kDeviceWaitMs);
  QCOMPARE(p.nmea_list()->count(), 1);
  QCOMPARE(p.received()->text(), QString("00000480"));
  QCOMPARE(p.percent()->text(), QString("100%"));
  ShowPage(rig, CDataDownloader::kPageConnection);
  rig.page().connect_button()->click();
  QTRY_VERIFY_WITH_TIMEOUT(rig.page().connect_button()->isEnabled(), kDeviceWaitMs);
  QCOMPARE(p.nmea_list()->count(), 0);
  QCOMPARE(p.progress()->value(), 0);
  // Nothing is coming in any more: no counts are left from the last download.
  QCOMPARE(p.received()->text(), QString("00000000"));
  QCOMPARE(p.total()->text(), QString("00000000"));
  QCOMPARE(p.percent()->text(), QString("00%"));
  ShowPage(rig, CDataDownloader::kPageFileConversion);
  QCOMPARE(p.log_list()->count(), 0);
  QVERIFY(!p.start_button()->isEnabled());
  QVERIFY(!p.photo_button()->isEnabled());
}

void FileConversionTest::HandOffFailureShowsTheSystemsReasonAndDownloads() {
  UiRig rig;
  const QString folder = rig.dir.filePath("nmea");
  CDlgFileConversion* page = ConnectedTo(rig, GeneratedTrack(70314, 0, 20), folder);
  if (page == nullptr) return;
  CDlgFileConversion& p = *page;
  // A file where the photo client's settings folder belongs.
  const QString settings_file = QSettings("locr", "LocrClient").fileName();
  const QString blocked = QFileInfo(settings_file).absolutePath();
  QDir(blocked).removeRecursively();
  QFile blocker(blocked);
  QVERIFY(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  StartFirst(p);
  QVERIFY(QFile::remove(blocked));
  QCOMPARE(rig.messages.size(), size_t{1});
  QCOMPARE(rig.messages[0].caption, QString("Error"));
  QCOMPARE(rig.messages[0].text, settings_file + ": Not a directory");
  QTRY_VERIFY_WITH_TIMEOUT(!p.timer_active(), kDeviceWaitMs);
  QCOMPARE(Items(p.nmea_list()), QStringList({"00000_70314.nmea"}));
  QVERIFY(QFile::exists(QDir(folder).filePath("00000_70314.nmea")));
}

// A selection of no bytes has no share to show: the percent stays at its least.
void FileConversionTest::EmptyTrackStaysAtZeroPercent() {
  UiRig rig;
  CDlgFileConversion* page =
      ConnectedTo(rig, GeneratedTrack(70314, 1, 0), rig.dir.filePath("nmea"));
  if (page == nullptr) return;
  CDlgFileConversion& p = *page;
  QCOMPARE(Items(p.log_list()), QStringList({"0_70314"}));
  StartFirst(p);
  QCOMPARE(p.total()->text(), QString("00000000"));
  QTRY_VERIFY_WITH_TIMEOUT(!p.timer_active(), kDeviceWaitMs);
  QCOMPARE(p.selection_total(), 0u);
  QCOMPARE(p.percent()->text(), QString("00%"));
  QCOMPARE(p.received()->text(), QString("00000000"));
  QVERIFY(rig.messages.empty());
}

}  // namespace tessor::test

namespace tessor::test {

// The GPX and KML choice is kept at once and read by the next page built;
// the chosen copies lie beside each NMEA file, and a copy that cannot be
// written is said and fails the job without touching the NMEA file.
void FileConversionTest::ExportChoiceWritesCopiesAndIsRemembered() {
  const devsim::TrackSource track = GeneratedTrack(70314, 2, 30);
  UiRig rig;
  const QString folder = rig.dir.filePath("nmea");
  CDlgFileConversion* page = ConnectedTo(rig, track, folder);
  if (page == nullptr) return;
  CDlgFileConversion& p = *page;
  QVERIFY(!p.gpx_export()->isChecked());
  QVERIFY(!p.kml_export()->isChecked());
  p.gpx_export()->setChecked(true);
  QCOMPARE(ReadTrackExports(rig.store()), uint8_t{kTrackExportGpx});
  p.kml_export()->setChecked(true);
  QCOMPARE(ReadTrackExports(rig.store()), uint8_t{kTrackExportGpx | kTrackExportKml});
  CDlgFileConversion next(*rig.window);
  QVERIFY(next.gpx_export()->isChecked() && next.kml_export()->isChecked());

  QSignalSpy ended(&p, &CDlgFileConversion::jobEnded);
  StartFirst(p);
  QTRY_VERIFY_WITH_TIMEOUT(!p.timer_active(), kDeviceWaitMs);
  QCOMPARE(Items(p.nmea_list()), QStringList({"00000_70314.nmea"}));
  QCOMPARE(QDir(folder).entryList(QDir::Files),
           QStringList({"00000_70314.gpx", "00000_70314.kml", "00000_70314.nmea"}));
  const std::vector<TrackPoint> points = ReadNmeaTrack(ReferenceNmea(track));
  QCOMPARE(Read(QDir(folder).filePath("00000_70314.gpx")),
           QByteArray::fromStdString(GpxDocument("00000_70314", points)));
  QCOMPARE(Read(QDir(folder).filePath("00000_70314.kml")),
           QByteArray::fromStdString(KmlDocument("00000_70314", points)));
  QCOMPARE(ended.size(), 1);
  QCOMPARE(ended[0][1].toBool(), true);

  // The KML copy's name taken by a folder: said, and the download is no success.
  p.gpx_export()->setChecked(false);
  QVERIFY(QFile::remove(QDir(folder).filePath("00000_70314.kml")));
  QVERIFY(QDir(folder).mkdir("00000_70314.kml"));
  StartFirst(p);
  QTRY_VERIFY_WITH_TIMEOUT(!p.timer_active(), kDeviceWaitMs);
  QCOMPARE(Items(p.nmea_list()), QStringList({"00000_70314.nmea"}));
  QCOMPARE(ended.size(), 2);
  QCOMPARE(ended[1][1].toBool(), false);
  const QStringList status = Items(rig.page().status_list());
  QVERIFY2(status.contains("Can not write " + QDir(folder).filePath("00000_70314.kml") +
                           ": Is a directory"),
           qPrintable(status.join("\n")));
}

// "Show on map" writes the listed track's page and opens it; a track file
// gone since the download is said instead.
void FileConversionTest::ShowOnMapOpensThePageOfTheListedTrack() {
  const devsim::TrackSource track = GeneratedTrack(70314, 1, 25);
  UiRig rig;
  const QString folder = rig.dir.filePath("nmea");
  CDlgFileConversion* page = ConnectedTo(rig, track, folder);
  if (page == nullptr) return;
  CDlgFileConversion& p = *page;
  QStringList opened;
  p.SetMapOpener([&](const QString& path) { opened << path; });
  StartFirst(p);
  QTRY_VERIFY_WITH_TIMEOUT(!p.timer_active(), kDeviceWaitMs);
  QCOMPARE(p.nmea_list()->count(), 1);
  p.ShowOnMap(0);
  QCOMPARE(opened.size(), 1);
  const QByteArray html = Read(opened[0]);
  const std::vector<TrackPoint> points = ReadNmeaTrack(ReferenceNmea(track));
  QVERIFY(!points.empty());
  for (const TrackPoint* point : {&points.front(), &points.back()}) {
    const QByteArray pair =
        QByteArray::fromStdString(FormatNumbers("[%.9f, %.9f]", point->latitude, point->longitude));
    QVERIFY2(html.contains(pair), pair.constData());
  }
  QVERIFY(html.contains("tessor-map.js"));
  QVERIFY(rig.messages.empty());

  QVERIFY(QFile::remove(QDir(folder).filePath("00000_70314.nmea")));
  p.ShowOnMap(0);
  QCOMPARE(opened.size(), 1);
  QCOMPARE(rig.messages.size(), size_t{1});
  QVERIFY2(rig.messages[0].text.endsWith("00000_70314.nmea: No such file or directory"),
           qPrintable(rig.messages[0].text));
}

}  // namespace tessor::test

namespace tessor::test {

// The erase after a download is kept at once; it runs only after every chosen
// track came whole, and otherwise the tracks that did not are named.
void FileConversionTest::EraseAfterDownloadOnlyWhenEveryTrackIsWhole() {
  devsim::Scenario s = Tracks({GeneratedTrack(70314, 0, 40), GeneratedTrack(70316, 2, 30)});
  s.faults.refuse_requests = {1, 2, 3};  // the first track's data never comes the first time
  UiRig rig;
  rig.StartDevice(s);
  ConnectLogger(rig);
  if (QTest::currentTestFailed()) return;
  CDlgFileConversion& p = ShowConversion(rig, rig.dir.filePath("nmea"));
  QCOMPARE(p.erase_after()->text(), QString(CDlgFileConversion::kEraseAfterText));
  QVERIFY(!p.erase_after()->isChecked());
  p.erase_after()->setChecked(true);
  QVERIFY(ReadEraseAfterDownload(rig.store()));
  QVERIFY(CDlgFileConversion(*rig.window).erase_after()->isChecked());

  const size_t log_size = rig.sim->LogDump().size();
  QVERIFY(log_size > 0);
  QSignalSpy ended(&p, &CDlgFileConversion::jobEnded);
  for (int i = 0; i < 2; ++i) p.log_list()->item(i)->setSelected(true);
  p.start_button()->click();
  QTRY_VERIFY_WITH_TIMEOUT(!p.timer_active(), kDeviceWaitMs);
  QCOMPARE(ended.size(), 1);
  QCOMPARE(ended[0][1].toBool(), false);
  const QStringList status = Items(rig.page().status_list());
  QVERIFY2(status.contains("Track 0: part of it never came"), qPrintable(status.join("\n")));
  QVERIFY2(status.contains(CDlgFileConversion::kNotErasedLine), qPrintable(status.join("\n")));
  QVERIFY(!rig.window->device_status_page()->erase_running());
  QCOMPARE(rig.sim->LogDump().size(), log_size);

  // The download was unfinished: going on from it takes only the lost track,
  // and with both tracks whole the log goes, followed to its end.
  int asked = 0;
  SetQuestionHandler([&asked](QWidget*, const QString&) { return ++asked > 0; });
  QTRY_VERIFY_WITH_TIMEOUT(p.start_button()->isEnabled(), kDeviceWaitMs);
  for (int i = 0; i < 2; ++i) p.log_list()->item(i)->setSelected(true);
  p.start_button()->click();
  QCOMPARE(asked, 1);
  QTRY_VERIFY_WITH_TIMEOUT(!p.timer_active(), kDeviceWaitMs);
  SetQuestionHandler({});
  QCOMPARE(ended.size(), 2);
  QCOMPARE(ended[1][1].toBool(), true);
  QCOMPARE(Read(rig.dir.filePath("nmea/00000_70314.nmea")),
           QByteArray::fromStdString(ReferenceNmea(s.tracks[0])));
  QTRY_VERIFY_WITH_TIMEOUT(rig.sim->LogDump().empty(), kDeviceWaitMs);
  QTRY_VERIFY_WITH_TIMEOUT(!rig.window->device_status_page()->JobRunning(), kDeviceWaitMs);
}

// A download the user cancelled erases nothing, however far it came.
void FileConversionTest::CancelledDownloadNeverErases() {
  UiRig rig;
  CDlgFileConversion* page =
      ConnectedTo(rig, GeneratedTrack(70314, 2, 400), rig.dir.filePath("nmea"));
  if (page == nullptr) return;
  CDlgFileConversion& p = *page;
  p.erase_after()->setChecked(true);
  const size_t log_size = rig.sim->LogDump().size();
  StartFirst(p);
  p.CancelJob();
  QTRY_VERIFY_WITH_TIMEOUT(!p.timer_active(), kDeviceWaitMs);
  const QStringList status = Items(rig.page().status_list());
  QVERIFY2(status.contains(CDlgFileConversion::kNotErasedCancelledLine),
           qPrintable(status.join("\n")));
  QVERIFY(!rig.window->device_status_page()->erase_running());
  QCOMPARE(rig.sim->LogDump().size(), log_size);
  QCOMPARE(SentCount(rig, 109), 0);  // no erase was asked for
}

// A folder left by an unfinished download asks whether to go on: OK skips the
// tracks noted whole, Cancel downloads everything again; either way the files
// are the tracks' own.
void FileConversionTest::UnfinishedFolderAsksWhetherToGoOn() {
  const std::vector<devsim::TrackSource> tracks = {GeneratedTrack(70314, 0, 40),
                                                   GeneratedTrack(70316, 1, 30)};
  UiRig rig;
  rig.StartDevice(Tracks(tracks));
  ConnectLogger(rig);
  if (QTest::currentTestFailed()) return;
  const QString folder = rig.dir.filePath("nmea");
  CDlgFileConversion& p = ShowConversion(rig, folder);
  const std::string first = QDir(folder).filePath("00000_70314.nmea").toStdString();
  const std::string nmea = ReferenceNmea(tracks[0]);
  const auto note_first_whole = [&] {
    std::ofstream(first, std::ios::binary) << nmea;
    TrackNote note;
    note.date = 70314;
    note.record_count = 40;
    note.complete = true;
    note.file_size = nmea.size();
    note.file_check = Fnv1a({reinterpret_cast<const uint8_t*>(nmea.data()), nmea.size()});
    return WriteTrackNote(first, note);
  };
  QVERIFY(note_first_whole());
  int asked = 0;
  bool answer = true;
  SetQuestionHandler([&](QWidget*, const QString& text) {
    ++asked;
    [&] { QCOMPARE(text, QString(CDlgFileConversion::kResumeQuestion)); }();
    return answer;
  });
  const int requests = SentCount(rig, 102);
  for (int i = 0; i < 2; ++i) p.log_list()->item(i)->setSelected(true);
  p.start_button()->click();
  QCOMPARE(asked, 1);
  QCOMPARE(p.total()->text(), QString("00000480"));  // only the second track's bytes
  QTRY_VERIFY_WITH_TIMEOUT(!p.timer_active(), kDeviceWaitMs);
  const QStringList names = {"00000_70314.nmea", "00001_70316.nmea"};
  QCOMPARE(Items(p.nmea_list()), names);
  QCOMPARE(SentCount(rig, 102) - requests, 1);  // 30 records of 16 bytes: one request
  for (int i = 0; i < 2; ++i) {
    QCOMPARE(Read(QDir(folder).filePath(names[i])),
             QByteArray::fromStdString(ReferenceNmea(tracks[i])));
  }
  // The download ended whole: no note is left, and nothing is asked next time.
  QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), names);

  QVERIFY(note_first_whole());
  answer = false;
  QTRY_VERIFY_WITH_TIMEOUT(p.start_button()->isEnabled(), kDeviceWaitMs);
  const int again = SentCount(rig, 102);
  for (int i = 0; i < 2; ++i) p.log_list()->item(i)->setSelected(true);
  p.start_button()->click();
  QCOMPARE(asked, 2);
  QCOMPARE(p.total()->text(), QString("00000960"));
  QTRY_VERIFY_WITH_TIMEOUT(!p.timer_active(), kDeviceWaitMs);
  QCOMPARE(SentCount(rig, 102) - again, 2);
  QCOMPARE(Read(QDir(folder).filePath(names[0])), QByteArray::fromStdString(nmea));
  SetQuestionHandler({});
}

}  // namespace tessor::test
