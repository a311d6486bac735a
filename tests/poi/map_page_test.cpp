#include "poi/map_page.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "../database/test_files.h"
#include "comma_locale.h"

namespace tessor {
namespace {

using test::ReadFile;
using test::TempFolder;

// The page for one POI, block by block.
const char* const kBlocks[] = {
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n",
    "<html xmlns=\"\" xmlns:v=\"urn:schemas-microsoft-com:vml\">",
    "   <head>\n",
    "        <meta http-equiv=\"Content-Type\" content=\"text/html; charset=Unicode\">\n",
    "        <title>Google Map</title>\n",
    "        <script src=\"file:///m/api.js?file=api&v=2&key=K\"\n",
    "            type=\"text/javascript\"></script>\n",
    "        <script type=\"text/javascript\">\n\n",
    "        //<![CDATA[\n\n",
    "    var map; \n    function GoToVELDArea(){\tif(BtnGoTo.value == \"Go to VELD coverage\")\t"
    "{map.setCenter(new GLatLng(43.855000000, -79.639000000), 3);\tBtnGoTo.value = \"Go to POI\";\t"
    "}else{map.setCenter(new GLatLng(43.668838440, -79.379651210), 15);BtnGoTo.value = \"Go to "
    "VELD "
    "coverage\";\t}}",
    "        function UnloadProcess(){try{if(map){GUnload();}}catch(e)\t{return ;}}\n\n",
    "        function load() {\n",
    "  try{\n          if (GBrowserIsCompatible()) {\n",
    "               map = new GMap2(document.getElementById(\"map\"));\n\nmap.addControl(new "
    "GSmallMapControl());\nmap.addControl(new GMapTypeControl());",
    "                   map.setCenter(new GLatLng(43.668838, -79.379651), 15);\n Text1.value = "
    "43.668838;\nText2.value =-79.379651;\n",
    "var polygon = new GPolygon([    new GLatLng(43.581000000,-79.639000000),    new "
    "GLatLng(43.855000000, -79.639000000),    new GLatLng(43.855000000, -79.115000000),    new "
    "GLatLng(43.581000000, -79.115000000) , new GLatLng(43.581000000,-79.639000000)], \"#f33f00\", "
    "5, 1, \"#ff0000\", 0.2); \n  map.addOverlay(polygon);",
    "                   var baseIcon = new GIcon();\n baseIcon.iconSize = new GSize(20, 34);\n "
    "\tbaseIcon.iconAnchor = new GPoint(9, 34);\n baseIcon.infoWindowAnchor = new GPoint(9, 2);\n "
    "baseIcon.printImage=\"file:///m/print.png\";\n "
    "baseIcon.transparent=\"mapIcons/markerTransparent.png\";",
    "                   function createMarker(point, index){ \n try{var letteredIcon = new "
    "GIcon(baseIcon);\tletteredIcon.image = \"file:///m/marker.png\";markerOptions = { "
    "icon:letteredIcon, draggable:true };var marker = new GMarker(point, "
    "markerOptions);\tGEvent.addListener(marker, \"dragstart\", function() "
    "{map.closeInfoWindow();});GEvent.addListener(marker, \"dragend\", function() "
    "{marker.openInfoWindowHtml(\"<br> Please drag the mark to set the position of your "
    "POI.\");Text1.value = marker.getLatLng().lat();Text2.value = "
    "marker.getLatLng().lng();});return marker;}catch(e){return ;}}",
    "        var bounds = map.getBounds();\n var marker =  createMarker(bounds.getCenter(), 0);\n "
    "map.addOverlay(marker);\n\t marker.openInfoWindowHtml(\"<br>  Please drag the mark to set the "
    "position of your POI.\");\n}\n}catch(e){document.write(\"<html><HEAD></HEAD><BODY>Can not "
    "load "
    "Google Map, please check the internet!!</BODY></html>\");return ;}}",
    "        //]]>\n",
    "        </script>\n    </head>\n    <body onload=\"load();\" onunload=\"UnloadProcess();\">\n",
    "        <div id=\"map\" style=\"width: 500px; height: 300px\"></div>\n",
    "  <br>Lat &nbsp; &nbsp;<input id=\"Text1\" type=\"text\">    Long<input id =\"Text2\" "
    "type=\"text\">       <input id=\"BtnOK\" style=\"width: 73px\" type=\"button\" value=\"OK\"> "
    "<br> <br>  <input id=\"BtnGoTo\" style=\"width: 200 px\" type=\"button\" value=\"Go to VELD "
    "coverage\" onclick =\"GoToVELDArea();\"> </body>\n</html>\n",
};

void ExpectTheTwentyThreeBlocks() {
  static_assert(std::size(kBlocks) == 23);
  TempFolder folder;
  const MapAddresses addresses = {"file:///m/api.js?file=api&v=2&key=K", "file:///m/marker.png",
                                  "file:///m/print.png"};
  ASSERT_TRUE(WriteMapPage(folder.File("POI.html"), {43.66883844, -79.37965121}, {43.581, -79.639},
                           {43.855, -79.115}, addresses));
  const std::string page = ReadFile(folder.File("POI.html"));
  size_t at = 0;
  for (size_t i = 0; i < std::size(kBlocks); ++i) {
    const std::string block = kBlocks[i];
    ASSERT_EQ(page.substr(at, block.size()), block) << "block " << i + 1;
    at += block.size();
  }
  EXPECT_EQ(at, page.size());
}

TEST(MapPage, WritesTheTwentyThreeBlocksByteForByte) {
  ExpectTheTwentyThreeBlocks();
}

// The script takes decimal points only: a comma locale must not reach the page.
TEST(MapPage, WritesDecimalPointsUnderACommaLocale) {
  test::CommaLocale comma;
  ASSERT_TRUE(comma.active()) << comma.why_not();
  ExpectTheTwentyThreeBlocks();
}

TEST(MapPage, RefusesPositionsThatAreNotFinite) {
  TempFolder folder;
  const double nan = std::nan(""), inf = HUGE_VAL;
  const MapPosition bad[] = {{nan, 1}, {1, inf}, {-inf, 1}};
  for (const MapPosition& p : bad) {
    EXPECT_FALSE(WriteMapPage(folder.File("POI.html"), p, {}, {}));
    EXPECT_FALSE(WriteMapPage(folder.File("POI.html"), {1, 2}, p, {}));
    EXPECT_FALSE(WriteMapPage(folder.File("POI.html"), {1, 2}, {}, p));
  }
  EXPECT_FALSE(std::filesystem::exists(folder.File("POI.html")));
}

TEST(MapPage, ZeroCoverageAndFailures) {
  TempFolder folder;
  ASSERT_TRUE(WriteMapPage(folder.File("POI.html"), {1, 2}, {}, {}));
  const std::string page = ReadFile(folder.File("POI.html"));
  EXPECT_NE(page.find("new GLatLng(0.000000000,0.000000000),    new GLatLng(0.000000000, "
                      "0.000000000)"),
            std::string::npos);
  EXPECT_NE(page.find("map.setCenter(new GLatLng(0.000000000, 0.000000000), 3)"),
            std::string::npos);
  EXPECT_FALSE(WriteMapPage("", {1, 2}, {}, {}));
  EXPECT_FALSE(WriteMapPage(folder.File("no/such/POI.html"), {1, 2}, {}, {}));
}

TEST(MapPage, DefaultAddressesNameOurScriptWithAnEightySixCharacterKey) {
  const MapAddresses addresses = DefaultMapAddresses();
  const std::string query = "/tessor-map.js?file=api&v=2&key=";
  const size_t at = addresses.script.find(query);
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(addresses.script.rfind("file:///", 0), 0u);
  EXPECT_EQ(addresses.script.size() - at - query.size(), 86u);
  EXPECT_EQ(addresses.marker_image.substr(addresses.marker_image.size() - 11), "/marker.png");
  EXPECT_EQ(FileUrl("/a b/ü"), "file:///a%20b/%C3%BC");
}

}  // namespace
}  // namespace tessor
