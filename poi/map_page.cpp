#include "poi/map_page.h"

#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <string_view>

#include "database/file_io.h"
#include "database/number_text.h"
#include "poi/poi.h"

namespace tessor {

namespace {
constexpr const char* kCoverageLabel = "Go to VELD coverage";
constexpr const char* kPoiLabel = "Go to POI";
constexpr const char* kDragHint = "Please drag the mark to set the position of your POI.";
// The page's texts are taken at most 127 bytes long.
constexpr size_t kTextBytes = 127;

std::string Text(const char* text) {
  return std::string(TruncateUtf8(text, kTextBytes));
}

bool Finite(const MapPosition& p) {
  return std::isfinite(p.latitude) && std::isfinite(p.longitude);
}

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

std::string HeadBlocks(const MapAddresses& a) {
  return std::string("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n") +
         "<html xmlns=\"\" xmlns:v=\"urn:schemas-microsoft-com:vml\">" + "   <head>\n" +
         "        <meta http-equiv=\"Content-Type\" content=\"text/html; charset=Unicode\">\n" +
         "        <title>Google Map</title>\n" + "        <script src=" + Quoted(a.script) + "\n" +
         "            type=\"text/javascript\"></script>\n" +
         "        <script type=\"text/javascript\">\n\n" + "        //<![CDATA[\n\n";
}

std::string GoToBlock(const MapPosition& poi, const MapPosition& max, const MapPosition& min) {
  const std::string coverage = Text(kCoverageLabel);
  return FormatNumbers(
      "    var map; \n    function GoToVELDArea(){\tif(BtnGoTo.value == "
      "\"%s\")\t{map.setCenter(new "
      "GLatLng(%.9f, %.9f), 3);\tBtnGoTo.value = \"%s\";\t}else{map.setCenter(new GLatLng(%.9f, "
      "%.9f), 15);BtnGoTo.value = \"%s\";\t}}",
      coverage.c_str(), max.latitude, min.longitude, Text(kPoiLabel).c_str(), poi.latitude,
      poi.longitude, coverage.c_str());
}

std::string LoadStartBlocks(const MapPosition& poi) {
  return std::string(
             "        function UnloadProcess(){try{if(map){GUnload();}}catch(e)\t{return ;}}\n\n") +
         "        function load() {\n" + "  try{\n          if (GBrowserIsCompatible()) {\n" +
         "               map = new GMap2(document.getElementById(\"map\"));\n\nmap.addControl(new "
         "GSmallMapControl());\nmap.addControl(new GMapTypeControl());" +
         FormatNumbers(
             "                   map.setCenter(new GLatLng(%.6f, %.6f), 15);\n Text1.value = "
             "%.6f;\nText2.value =%.6f;\n",
             poi.latitude, poi.longitude, poi.latitude, poi.longitude);
}

std::string PolygonBlock(const MapPosition& min, const MapPosition& max) {
  return FormatNumbers(
      "var polygon = new GPolygon([    new GLatLng(%.9f,%.9f),    new GLatLng(%.9f, %.9f),    new "
      "GLatLng(%.9f, %.9f),    new GLatLng(%.9f, %.9f) , new GLatLng(%.9f,%.9f)], \"#f33f00\", 5, "
      "1, \"#ff0000\", 0.2); \n  map.addOverlay(polygon);",
      min.latitude, min.longitude, max.latitude, min.longitude, max.latitude, max.longitude,
      min.latitude, max.longitude, min.latitude, min.longitude);
}

std::string MarkerBlocks(const MapAddresses& a) {
  const std::string hint = Text(kDragHint);
  return "                   var baseIcon = new GIcon();\n baseIcon.iconSize = new GSize(20, "
         "34);\n \tbaseIcon.iconAnchor = new GPoint(9, 34);\n baseIcon.infoWindowAnchor = new "
         "GPoint(9, 2);\n baseIcon.printImage=" +
         Quoted(a.marker_print_image) +
         ";\n baseIcon.transparent=\"mapIcons/markerTransparent.png\";" +
         "                   function createMarker(point, index){ \n try{var letteredIcon = new "
         "GIcon(baseIcon);\tletteredIcon.image = " +
         Quoted(a.marker_image) +
         FormatNumbers(
             ";markerOptions = { icon:letteredIcon, draggable:true };var marker = new "
             "GMarker(point, markerOptions);\tGEvent.addListener(marker, \"dragstart\", "
             "function() {map.closeInfoWindow();});GEvent.addListener(marker, \"dragend\", "
             "function() {marker.openInfoWindowHtml(\"<br> %s\");Text1.value = "
             "marker.getLatLng().lat();Text2.value = marker.getLatLng().lng();});return "
             "marker;}catch(e){return ;}}",
             hint.c_str());
}

std::string EndBlocks() {
  return FormatNumbers(
             "        var bounds = map.getBounds();\n var marker =  "
             "createMarker(bounds.getCenter(), "
             "0);\n map.addOverlay(marker);\n\t marker.openInfoWindowHtml(\"<br>  %s\");\n}\n}"
             "catch(e){document.write(\"<html><HEAD></HEAD><BODY>%s</BODY></html>\");return ;}}",
             Text(kDragHint).c_str(), Text(kMapLoadFailure).c_str()) +
         "        //]]>\n" +
         "        </script>\n    </head>\n    <body onload=\"load();\" "
         "onunload=\"UnloadProcess();\">\n" +
         FormatNumbers("        <div id=\"map\" style=\"width: %dpx; height: %dpx\"></div>\n", 500,
                       300) +
         FormatNumbers(
             "  <br>Lat &nbsp; &nbsp;<input id=\"Text1\" type=\"text\">    Long<input id "
             "=\"Text2\" type=\"text\">       <input id=\"BtnOK\" style=\"width: 73px\" "
             "type=\"button\" value=\"OK\"> <br> <br>  <input id=\"BtnGoTo\" style=\"width: "
             "200 px\" type=\"button\" value=\"%s\" onclick =\"GoToVELDArea();\"> "
             "</body>\n</html>\n",
             Text(kCoverageLabel).c_str());
}

}  // namespace

std::string FileUrl(const std::string& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string url = "file://";
  for (unsigned char c : path) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       std::string_view("/-._~").find(c) != std::string_view::npos;
    if (plain) {
      url += static_cast<char>(c);
    } else {
      url += '%';
      url += kHex[c >> 4];
      url += kHex[c & 15];
    }
  }
  return url;
}

MapAddresses MapAddressesIn(const std::string& folder) {
  const std::string base = FileUrl(folder);
  return {base + "/tessor-map.js?file=api&v=2&key=" + kMapKey, base + "/marker.png",
          base + "/marker-print.png"};
}

MapAddresses DefaultMapAddresses() {
  const std::string installed = TESSOR_MAP_INSTALL_DIR;
  const bool have_installed = access((installed + "/tessor-map.js").c_str(), R_OK) == 0;
  return MapAddressesIn(have_installed ? installed : std::string(TESSOR_MAP_SOURCE_DIR));
}

bool WriteMapPage(const std::string& path, const MapPosition& poi, const MapPosition& coverageMin,
                  const MapPosition& coverageMax) {
  return WriteMapPage(path, poi, coverageMin, coverageMax, DefaultMapAddresses());
}

bool WriteMapPage(const std::string& path, const MapPosition& poi, const MapPosition& coverageMin,
                  const MapPosition& coverageMax, const MapAddresses& addresses) {
  if (path.empty()) return false;
  if (!Finite(poi) || !Finite(coverageMin) || !Finite(coverageMax)) {
    errno = EINVAL;
    return false;
  }
  const std::string page = HeadBlocks(addresses) + GoToBlock(poi, coverageMax, coverageMin) +
                           LoadStartBlocks(poi) + PolygonBlock(coverageMin, coverageMax) +
                           MarkerBlocks(addresses) + EndBlocks();
  // A failed write keeps the previous page.
  return WriteFileWhole(path, page);
}

}  // namespace tessor
