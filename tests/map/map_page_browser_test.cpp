// Loads the generated map page in Qt WebEngine, offscreen and without network
// (the tiles fail to load; the page must work regardless).

#include <QDir>

#include "poi/map_page.h"
#include "tests/map/browser_page_test.h"

namespace {

constexpr double kPoiLat = 43.66883844, kPoiLon = -79.37965121;
constexpr double kMinLat = 43.581, kMinLon = -79.639, kMaxLat = 43.855, kMaxLon = -79.115;

using tessor::test::Eval;
using tessor::test::kPageWaitMs;

}  // namespace

class MapPageBrowserTest : public tessor::test::BrowserPageTest {
  Q_OBJECT

 private:
  void Open(const tessor::MapAddresses& addresses) {
    const std::string path = QDir(dir_.path()).filePath("POI.html").toStdString();
    QVERIFY(tessor::WriteMapPage(path, {kPoiLat, kPoiLon}, {kMinLat, kMinLon}, {kMaxLat, kMaxLon},
                                 addresses));
    Load(path);
  }

  void OpenWorkingPage() {
    Open(tessor::MapAddressesIn(TESSOR_MAP_SOURCE_DIR));
    QTRY_VERIFY_WITH_TIMEOUT(Eval(page(), "Text1.value !== ''").toBool(), kPageWaitMs);
  }

 private slots:
  void fieldsHoldThePoiWithSixDecimals() {
    OpenWorkingPage();
    QCOMPARE(Eval(page(), "Text1.value").toString(), QString("43.668838"));
    QCOMPARE(Eval(page(), "Text2.value").toString(), QString("-79.379651"));
    QCOMPARE(Eval(page(), "map.getZoom()").toInt(), 15);
    QCOMPARE(Eval(page(), "document.querySelectorAll('.leaflet-marker-icon').length").toInt(), 1);
    QCOMPARE(Eval(page(), "document.querySelectorAll('path.leaflet-interactive').length").toInt(),
             1);
    QVERIFY(Eval(page(), "document.querySelector('.leaflet-popup-content').textContent")
                .toString()
                .contains("Please drag the mark to set the position of your POI."));
  }

  void dragEndWritesTheMarkerPosition() {
    OpenWorkingPage();
    // Where the marker must land: its own pixel moved by (40, 30).
    Eval(page(),
         "var p = map.fromLatLngToContainerPixel(new GLatLng(" + QString::number(kPoiLat, 'f', 8) +
             ", " + QString::number(kPoiLon, 'f', 8) +
             "));"
             "window.expected = map.fromContainerPixelToLatLng("
             "new GPoint(Math.round(p.x) + 40, Math.round(p.y) + 30));"
             "window.dragFrame = false;"
             "window.icon = document.querySelector('.leaflet-marker-icon');"
             "var r = icon.getBoundingClientRect();"
             "window.x0 = r.left + r.width / 2; window.y0 = r.top + r.height / 2;"
             "function fire(type, target, dx, dy) { target.dispatchEvent(new MouseEvent(type, {"
             "bubbles: true, cancelable: true, view: window, button: 0, buttons: 1,"
             "clientX: x0 + dx, clientY: y0 + dy})); }"
             "fire('mousedown', icon, 0, 0);"
             "fire('mousemove', icon, 5, 0);"  // starts the drag
             "fire('mousemove', icon, 45, 30);"
             "requestAnimationFrame(function () { window.dragFrame = true; });");
    QTRY_VERIFY_WITH_TIMEOUT(Eval(page(), "window.dragFrame").toBool(), kPageWaitMs);
    Eval(page(), "fire('mouseup', icon, 45, 30);");
    QTRY_VERIFY_WITH_TIMEOUT(Eval(page(), "Text1.value !== '43.668838'").toBool(), kPageWaitMs);
    const double lat = Number("Number(Text1.value)");
    const double lon = Number("Number(Text2.value)");
    QVERIFY(qAbs(lat - Number("expected.lat()")) < 1e-9);
    QVERIFY(qAbs(lon - Number("expected.lng()")) < 1e-9);
    QVERIFY(lat < kPoiLat && lon > kPoiLon);  // down and right on the screen
    QVERIFY(Eval(page(), "document.querySelector('.leaflet-popup-content').textContent")
                .toString()
                .contains("Please drag the mark"));
  }

  void coverageButtonTogglesBackToThePoi() {
    OpenWorkingPage();
    QCOMPARE(Eval(page(), "BtnGoTo.value").toString(), QString("Go to VELD coverage"));
    Eval(page(), "BtnGoTo.click()");
    QCOMPARE(Eval(page(), "BtnGoTo.value").toString(), QString("Go to POI"));
    QCOMPARE(Eval(page(), "map.getZoom()").toInt(), 3);
    QVERIFY(qAbs(Number("map.getCenter().lat()") - kMaxLat) < 1e-6);
    QVERIFY(qAbs(Number("map.getCenter().lng()") - kMinLon) < 1e-6);
    Eval(page(), "BtnGoTo.click()");
    QCOMPARE(Eval(page(), "BtnGoTo.value").toString(), QString("Go to VELD coverage"));
    QCOMPARE(Eval(page(), "map.getZoom()").toInt(), 15);
    QVERIFY(qAbs(Number("map.getCenter().lat()") - kPoiLat) < 1e-6);
    QVERIFY(qAbs(Number("map.getCenter().lng()") - kPoiLon) < 1e-6);
  }

  void failingMapScriptShowsTheLoadFailure() {
    Open(tessor::MapAddressesIn(QDir(dir_.path()).filePath("no-such-folder").toStdString()));
    ExpectLoadFailureShown();
  }
};

int main(int argc, char** argv) {
  return tessor::test::RunBrowserTest<MapPageBrowserTest>(argc, argv);
}

#include "map_page_browser_test.moc"
