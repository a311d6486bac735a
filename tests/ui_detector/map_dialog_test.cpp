// The POI page's visit to the map in a real browser engine, offscreen and
// without network: the page's OK hands the position back to the POI list, and
// a map that cannot be drawn says so.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTableWidget>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QtTest>

#include "poi_rig.h"
#include "tests/support/web_eval.h"
#include "ui/googole_map_dlg.h"

namespace tessor {
// The POI page's host outside the main window: the rig sets its own.
PoiPageHost DefaultPoiPageHost(QWidget*) {
  return {};
}
}  // namespace tessor

namespace {

using tessor::CGoogoleMapDlg;
using tessor::test::PoiRig;

using tessor::test::Eval;

// How long a showing may take to load its page on a loaded machine.
constexpr int kPageWaitMs = 90000;

// The generated page of this showing, loaded and filled in. A page the test has
// acted on carries a mark, so the last showing's page, still in the view while
// the next one loads, is never taken for it.
bool FreshPageReady(CGoogoleMapDlg* dialog) {
  if (dialog == nullptr || !dialog->isVisible() || !dialog->view()->url().isLocalFile()) {
    return false;
  }
  return Eval(dialog->view()->page(),
              "window.tessorActedOn !== true && document.readyState === 'complete' &&"
              " Text1.value !== ''")
      .toBool();
}

// The generated page is in the view, whatever its script did.
bool PageShown(CGoogoleMapDlg* dialog) {
  return dialog != nullptr && dialog->isVisible() && dialog->view()->url().isLocalFile() &&
         Eval(dialog->view()->page(),
              "window.tessorActedOn !== true && document.readyState === 'complete'")
             .toBool();
}

// While the modal dialog runs: waits for the generated page, then acts on it.
void OnceMapShows(PoiRig& rig, QString* page_file, std::function<void(CGoogoleMapDlg&)> act,
                  std::function<bool(CGoogoleMapDlg*)> ready = FreshPageReady) {
  auto* start = new QTimer;
  start->setSingleShot(true);
  QObject::connect(start, &QTimer::timeout, [&rig, page_file, act, ready, start] {
    start->deleteLater();
    if (!QTest::qWaitFor([&] { return ready(rig.page->map_dialog()); }, kPageWaitMs)) {
      if (rig.page->map_dialog() != nullptr) rig.page->map_dialog()->close();
      return;
    }
    CGoogoleMapDlg& dialog = *rig.page->map_dialog();
    *page_file = dialog.view()->url().toLocalFile();
    Eval(dialog.view()->page(), "window.tessorActedOn = true;");
    act(dialog);
  });
  // Fires once the dialog's own event loop runs.
  start->start(0);
}

// A copy of the project's map script in folder, with one text of it changed.
void CopyMapScript(const QString& folder, const QString& from, const QString& to) {
  QFile source(QDir(TESSOR_MAP_SOURCE_DIR).filePath("tessor-map.js"));
  QVERIFY(source.open(QIODevice::ReadOnly));
  QString script = QString::fromUtf8(source.readAll());
  QVERIFY2(script.contains(from), qPrintable(from));
  script.replace(from, to);
  QFile copy(QDir(folder).filePath("tessor-map.js"));
  QVERIFY(copy.open(QIODevice::WriteOnly | QIODevice::Truncate));
  copy.write(script.toUtf8());
}

const QString kTiles = "var TESSOR_TILES = 'https://tile.openstreetmap.org/{z}/{x}/{y}.png';";
const QString kLibrary = "var leaflet = 'file:///usr/share/javascript/leaflet/';";

// What the dialog showed over its map.
struct Failure {
  bool shown = false;
  QString text;
  QRect over;  // in the view's coordinates
  QRect map;   // where the page draws the map
};

// Shows the map of row 0 of a one-POI list, with the map script in folder, and
// waits until the load failure text is shown (or the wait runs out).
Failure ShowMapWaitingForFailure(const QString& folder,
                                 std::function<bool(CGoogoleMapDlg*)> ready) {
  PoiRig rig;
  rig.WriteFile({"43.650000,-79.400000,0,50,0,alone"});
  rig.ShowAndLoad();
  rig.page->SetMapFolder(folder);
  Failure seen;
  QString page_file;
  OnceMapShows(
      rig, &page_file,
      [&seen](CGoogoleMapDlg& dialog) {
        QLabel* label = dialog.failure_text();
        seen.shown = QTest::qWaitFor([&] { return label->isVisible(); }, kPageWaitMs);
        seen.text = label->text();
        const QVariantList r = Eval(dialog.view()->page(),
                                    "var r = document.getElementById('map')"
                                    ".getBoundingClientRect(); [r.left, r.top, r.width, r.height]")
                                   .toList();
        if (r.size() == 4) {
          seen.map = QRect(r[0].toInt(), r[1].toInt(), r[2].toInt(), r[3].toInt());
        }
        // The text moves onto the map once the page has said where it is; the
        // test compares the places afterwards.
        static_cast<void>(QTest::qWaitFor(
            [&] {
              seen.over = QRect(dialog.view()->mapFrom(&dialog, label->pos()), label->size());
              return seen.over == seen.map;
            },
            kPageWaitMs));
        dialog.close();
      },
      ready);
  rig.page->GoToMap(0);
  return seen;
}

}  // namespace

class MapDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void OkOfThePageMovesThePoiNextToAnother() {
    PoiRig rig;
    // Row 0 "moved" at first 5 km from row 1 "fixed".
    rig.WriteFile({"43.650000,-79.400000,0,50,0,fixed", "43.700000,-79.350000,0,60,0,moved"});
    rig.ShowAndLoad();
    QCOMPARE(rig.Text(0, 4), QString("moved"));
    QCOMPARE(rig.Text(0, 5), QString("OK"));
    QVERIFY(rig.page->map_dialog() == nullptr);
    QString page_file;
    double shown = 0;
    OnceMapShows(rig, &page_file, [&shown](CGoogoleMapDlg& dialog) {
      shown = Eval(dialog.view()->page(), "Number(Text1.value)").toDouble();
      // The drop's fields: 500 m north of "fixed" (0.0045 degrees of latitude).
      Eval(dialog.view()->page(), "Text1.value = 43.6545; Text2.value = -79.4;");
      Eval(dialog.view()->page(), "BtnOK.click();");
    });
    rig.page->GoToMap(0);
    QVERIFY(!page_file.isEmpty());
    QVERIFY(std::abs(shown - 43.7) < 1e-5);  // the page starts at the POI
    QCOMPARE(rig.page->map_dialog()->latitude_text(), QString("43.6545"));
    QCOMPARE(rig.Text(0, 5), QString("Duplicated with No. 2"));
    QVERIFY(std::abs(rig.Text(0, 1).toDouble() - 43.6545) < 1e-5);
    QVERIFY(!QFile::exists(page_file));
    QCOMPARE(rig.page->valid_text()->text(), QString("1"));
    QVERIFY(rig.page->has_unsaved_edits());
  }

  void UnreachableTilesShowTheLoadFailureOverTheMap() {
    QTemporaryDir folder;
    // Nothing answers there: every tile fails as it does without a network.
    CopyMapScript(folder.path(), kTiles,
                  "var TESSOR_TILES = 'http://127.0.0.1:9/{z}/{x}/{y}.png';");
    const Failure seen = ShowMapWaitingForFailure(folder.path(), FreshPageReady);
    QVERIFY(seen.shown);
    QCOMPARE(seen.text, QString("Can not load Google Map, please check the internet!!"));
    QVERIFY(!seen.map.isEmpty());
    QCOMPARE(seen.over, seen.map);
  }

  void MissingMapLibraryShowsTheLoadFailure() {
    QTemporaryDir folder;
    CopyMapScript(
        folder.path(), kLibrary,
        "var leaflet = '" + QUrl::fromLocalFile(folder.filePath("no-leaflet")).toString() + "/';");
    const Failure seen = ShowMapWaitingForFailure(folder.path(), PageShown);
    QVERIFY(seen.shown);
    QCOMPARE(seen.text, QString("Can not load Google Map, please check the internet!!"));
    QCOMPARE(seen.over, seen.map);
  }

  void TilesThatLoadShowNoFailure() {
    QTemporaryDir folder;
    // Every tile is the marker image, a file that loads.
    const QString tile =
        QUrl::fromLocalFile(QDir(TESSOR_MAP_SOURCE_DIR).filePath("marker.png")).toString();
    CopyMapScript(folder.path(), kTiles, "var TESSOR_TILES = '" + tile + "?{z}/{x}/{y}';");
    PoiRig rig;
    rig.WriteFile({"43.650000,-79.400000,0,50,0,alone"});
    rig.ShowAndLoad();
    rig.page->SetMapFolder(folder.path());
    bool drawn = false;
    bool hidden = false;
    QString page_file;
    OnceMapShows(rig, &page_file, [&](CGoogoleMapDlg& dialog) {
      drawn = QTest::qWaitFor(
          [&] { return Eval(dialog.view()->page(), "TessorMapState.last === 'drawn'").toBool(); },
          kPageWaitMs);
      hidden = QTest::qWaitFor([&] { return !dialog.failure_text()->isVisible(); }, kPageWaitMs);
      dialog.close();
    });
    rig.page->GoToMap(0);
    QVERIFY(drawn);
    QVERIFY(hidden);
  }

  void ClosingTheWindowLeavesThePoiWhereItWas() {
    PoiRig rig;
    rig.WriteFile({"43.650000,-79.400000,0,50,0,fixed", "43.700000,-79.350000,0,60,0,moved"});
    rig.ShowAndLoad();
    QString first_file;
    OnceMapShows(rig, &first_file, [](CGoogoleMapDlg& dialog) {
      Eval(dialog.view()->page(), "Text1.value = 43.66; BtnOK.click();");
    });
    rig.page->GoToMap(1);
    const QString moved_to = rig.Text(1, 1);
    QString second_file;
    OnceMapShows(rig, &second_file, [](CGoogoleMapDlg& dialog) { dialog.close(); });
    rig.page->GoToMap(0);
    QVERIFY(!second_file.isEmpty());
    // The texts of the first showing are not applied to the second POI.
    QVERIFY(rig.page->map_dialog()->latitude_text().isEmpty());
    QVERIFY(std::abs(rig.Text(0, 1).toDouble() - 43.7) < 1e-5);
    QCOMPARE(rig.Text(0, 5), QString("OK"));
    QCOMPARE(rig.Text(1, 1), moved_to);
    QVERIFY(!QFile::exists(second_file));
  }
};

int main(int argc, char** argv) {
  // CI runs as root, where Chromium's sandbox cannot start; there is no display.
  qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir home;
  qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
  QApplication app(argc, argv);
  MapDialogTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "map_dialog_test.moc"
