// Loads the track map page in Qt WebEngine, offscreen and without network
// (the tiles fail to load; the track and its markers are drawn regardless).

#include <QDir>
#include <vector>

#include "logger/track_map_page.h"
#include "tests/map/browser_page_test.h"
#include "tests/support/comma_locale.h"

namespace {

// A loop west of Santiago and back, crossing no line of zero.
const std::vector<tessor::MapPosition> kTrack = {
    {-33.4489001, -70.6693012}, {-33.4501234, -70.6650001}, {-33.4552222, -70.6611111},
    {-33.4599999, -70.6700004}, {-33.4530303, -70.6755555}, {-33.4491111, -70.6720202}};

using tessor::test::Eval;
using tessor::test::kPageWaitMs;

}  // namespace

class TrackMapBrowserTest : public tessor::test::BrowserPageTest {
  Q_OBJECT

 private:
  void Open(const tessor::MapAddresses& addresses) {
    const std::string path = QDir(dir_.path()).filePath("track.html").toStdString();
    {
      // The page is written under a comma locale: its numbers must not follow it.
      tessor::test::CommaLocale comma;
      QVERIFY2(comma.active(), comma.why_not());
      QVERIFY(tessor::WriteTrackMapPage(path, "Ride <1>", kTrack, addresses));
    }
    Load(path);
  }

 private slots:
  void lineThroughEveryPointWithStartAndEndMarkers() {
    Open(tessor::MapAddressesIn(TESSOR_MAP_SOURCE_DIR));
    QTRY_VERIFY_WITH_TIMEOUT(
        Eval(page(), "typeof endMarker !== 'undefined' && !!endMarker").toBool(), kPageWaitMs);
    QCOMPARE(Eval(page(), "document.title").toString(), QString("Ride <1>"));
    QCOMPARE(Eval(page(), "track.getVertexCount()").toInt(), int(kTrack.size()));
    for (size_t i = 0; i < kTrack.size(); ++i) {
      const QString vertex = QString("track.getVertex(%1)").arg(i);
      QVERIFY(qAbs(Number(vertex + ".lat()") - kTrack[i].latitude) < 1e-9);
      QVERIFY(qAbs(Number(vertex + ".lng()") - kTrack[i].longitude) < 1e-9);
    }
    QVERIFY(qAbs(Number("startMarker.getLatLng().lat()") - kTrack.front().latitude) < 1e-9);
    QVERIFY(qAbs(Number("startMarker.getLatLng().lng()") - kTrack.front().longitude) < 1e-9);
    QVERIFY(qAbs(Number("endMarker.getLatLng().lat()") - kTrack.back().latitude) < 1e-9);
    QVERIFY(qAbs(Number("endMarker.getLatLng().lng()") - kTrack.back().longitude) < 1e-9);
    // Drawn, not just made: one line and two marker images on the map.
    QCOMPARE(Eval(page(), "document.querySelectorAll('.leaflet-marker-icon').length").toInt(), 2);
    QCOMPARE(Eval(page(), "document.querySelectorAll('path.leaflet-interactive').length").toInt(),
             1);
    QCOMPARE(Eval(page(),
                  "Array.from(document.querySelectorAll('.leaflet-marker-icon'))"
                  ".map(function (m) { return m.title; }).join(',')")
                 .toString(),
             QString("Start,End"));
  }

  void viewFitsTheWholeTrack() {
    Open(tessor::MapAddressesIn(TESSOR_MAP_SOURCE_DIR));
    QTRY_VERIFY_WITH_TIMEOUT(Eval(page(), "typeof track !== 'undefined' && !!track").toBool(),
                             kPageWaitMs);
    QVERIFY(Eval(page(), "map._map.getBounds().contains(track._layer.getBounds())").toBool());
    // Fitted, not merely inside: a track of about a kilometre fills the view
    // at street zoom, not at the world's.
    QVERIFY(Eval(page(), "map.getZoom()").toInt() >= 13);
    QVERIFY(qAbs(Number("map.getCenter().lat()") - (-33.4544499)) < 0.002);
    QVERIFY(qAbs(Number("map.getCenter().lng()") - (-70.6683328)) < 0.002);
  }

  void failingMapScriptShowsTheLoadFailure() {
    Open(tessor::MapAddressesIn(QDir(dir_.path()).filePath("no-such-folder").toStdString()));
    ExpectLoadFailureShown();
  }
};

int main(int argc, char** argv) {
  return tessor::test::RunBrowserTest<TrackMapBrowserTest>(argc, argv);
}

#include "track_map_browser_test.moc"
