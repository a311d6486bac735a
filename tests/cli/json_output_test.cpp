// --json prints one document with the fields of the tab lines of the same
// run; status lines then go to standard error, and no comment text can break
// either form.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "../database/test_files.h"
#include "filled_track.h"
#include "tessorctl_fixture.h"

namespace tessor {
namespace {

// Parsed keeping the order of the members, to compare with the order of the lines.
using json = nlohmann::ordered_json;
using test::ReadFile;
using test::TempFolder;

// The tab-separated fields of each line.
std::vector<std::vector<std::string>> Rows(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1) {
      fields.push_back(line.substr(start, tab - start));
    }
    fields.push_back(line.substr(start));
    rows.push_back(fields);
  }
  return rows;
}

json Parse(const test::ProgramResult& r) {
  EXPECT_TRUE(json::accept(r.out)) << "not one JSON document:\n" << r.out;
  return json::parse(r.out, nullptr, false);
}

// key<TAB>value lines against the object's members, in order; numbers are
// compared as numbers.
void ExpectSameReport(const std::string& tab, const json& object) {
  const auto rows = Rows(tab);
  ASSERT_TRUE(object.is_object());
  size_t i = 0;
  for (const auto& [key, value] : object.items()) {
    if (key == "reason") continue;  // the JSON form splits "no: REASON"
    ASSERT_LT(i, rows.size()) << key;
    ASSERT_EQ(rows[i].size(), 2u);
    EXPECT_EQ(rows[i][0], key);
    const std::string& text = rows[i][1];
    if (value.is_string()) {
      EXPECT_EQ(text, value.get<std::string>()) << key;
    } else if (value.is_boolean()) {
      EXPECT_EQ(text.rfind(value.get<bool>() ? "yes" : "no: ", 0), 0u) << key;
    } else if (value.is_array()) {
      std::vector<std::string> numbers;
      std::istringstream list(text);
      for (std::string n; std::getline(list, n, ',');) numbers.push_back(n);
      ASSERT_EQ(numbers.size(), value.size()) << key;
      for (size_t n = 0; n < numbers.size(); ++n) {
        EXPECT_EQ(std::stod(numbers[n]), value[n].get<double>()) << key;
      }
    } else {
      EXPECT_EQ(std::stod(text), value.get<double>()) << key;
    }
    ++i;
  }
  EXPECT_EQ(i, rows.size());
}

class TessorctlJson : public test::TessorctlFixture {
 protected:
  test::ProgramResult Offline(std::vector<std::string> args, const char* scratch = "run") {
    args.insert(args.begin(), TESSORCTL);
    return test::RunProgram(args, data_home_ + "/" + scratch);
  }
};

TEST_F(TessorctlJson, PoiCheckRowsMatchTheTabRowsAndEscapeComments) {
  TempFolder folder;
  // A tab, a backslash and bytes that are no UTF-8 in comments.
  test::WriteFile(folder.File("POI.csv"),
                  "Latitude,Longitude,direction,vmax,Type,Comments\r\n"
                  "43.5,-79.5,0,50,0,home\tgarage\r\n"
                  "43.6,-79.4,0,30,0,C:\\path\r\n"
                  "45,-79.5,0,30,0,caf\xE9\r\n");
  const std::vector<std::string> args = {"poi-check", folder.File("POI.csv"), "--coverage",
                                         "-80,43,-79,44"};
  const auto tab = Offline(args, "tab");
  auto with_json = args;
  with_json.push_back("--json");
  const auto js = Offline(with_json, "json");
  ASSERT_EQ(tab.status, 0) << tab.err;
  ASSERT_EQ(js.status, 0) << js.err;

  const auto rows = Rows(tab.out);
  ASSERT_EQ(rows.size(), 5u) << tab.out;
  for (const auto& row : rows) EXPECT_EQ(row.size(), row == rows.back() ? 2u : 6u) << tab.out;
  EXPECT_EQ(rows[3][4], "home\\tgarage");
  EXPECT_EQ(rows[2][4], "C:\\\\path");

  const json document = Parse(js);
  const json& pois = document.at("pois");
  ASSERT_EQ(pois.size(), 3u);
  const auto header = rows[0];
  for (size_t i = 0; i < pois.size(); ++i) {
    const auto& row = rows[i + 1];
    EXPECT_EQ(pois[i].at(header[0]).get<size_t>(), std::stoul(row[0]));
    EXPECT_EQ(pois[i].at(header[1]).get<double>(), std::stod(row[1]));
    EXPECT_EQ(pois[i].at(header[2]).get<double>(), std::stod(row[2]));
    EXPECT_EQ(pois[i].at(header[3]).get<int>(), std::stoi(row[3]));
    EXPECT_EQ(pois[i].at(header[5]).get<std::string>(), row[5]);
  }
  EXPECT_EQ(pois[2].at("Comments"), "home\tgarage");
  EXPECT_EQ(pois[1].at("Comments"), "C:\\path");
  EXPECT_EQ(pois[0].at("Comments"), "caf\xEF\xBF\xBD");
  EXPECT_EQ(document.at("Valid POIs").get<size_t>(), std::stoul(rows.back()[1]));
}

TEST_F(TessorctlJson, ImageInfoHasTheFieldsOfTheTabLines) {
  TempFolder folder;
  test::WriteFile(folder.File("cameras.csv"), test::TorontoCameraCsv(test::TorontoPositions()));
  const auto build = Offline({"build-image", folder.File("cameras.csv"), folder.File("db.bin")});
  ASSERT_EQ(build.status, 0) << build.err;
  std::string cut = ReadFile(folder.File("db.bin"));
  cut.resize(cut.size() - 1);
  test::WriteFile(folder.File("cut.bin"), cut);

  for (const char* image : {"db.bin", "cut.bin"}) {
    const auto tab = Offline({"image-info", folder.File(image)}, "tab");
    const auto js = Offline({"image-info", "--json", folder.File(image)}, "json");
    EXPECT_EQ(js.status, tab.status) << image;
    const json document = Parse(js);
    ExpectSameReport(tab.out, document);
    EXPECT_EQ(document.at("valid").get<bool>(), tab.status == 0) << image;
  }
  const json valid = Parse(Offline({"image-info", "--json", folder.File("db.bin")}));
  EXPECT_EQ(valid.at("magic"), "%CDB");
  EXPECT_EQ(valid.at("flags"), json::array({1, 0, 0, 1}));
  EXPECT_EQ(valid.at("value-r"), 154);
  EXPECT_FALSE(valid.contains("reason"));
  const json invalid = Parse(Offline({"image-info", "--json", folder.File("cut.bin")}));
  EXPECT_FALSE(invalid.at("reason").get<std::string>().empty());
}

TEST_F(TessorctlJson, InfoAndBatteryPrintOnlyTheDocument) {
  devsim::Scenario s;
  s.name = "Road Logger";
  s.battery = 0;
  StartDevice(s);
  const auto tab = RunOn(slave_path_, {"info"}, "tab");
  const auto js = RunOn(slave_path_, {"info", "--json"}, "json");
  ASSERT_EQ(tab.status, 0) << tab.err;
  ASSERT_EQ(js.status, 0) << js.err;
  // The status lines of the connect went to standard error.
  const std::string status_line = tab.out.substr(0, tab.out.find('\n') + 1);
  EXPECT_NE(js.err.find(status_line), std::string::npos) << js.err;
  const json info = Parse(js);
  // The tab run's key lines are its last six.
  const size_t keys = tab.out.find("name\t");
  ASSERT_NE(keys, std::string::npos) << tab.out;
  ExpectSameReport(tab.out.substr(keys), info);
  EXPECT_EQ(info.at("name"), "Road Logger");
  EXPECT_EQ(info.at("coverage").size(), 4u);

  const auto battery = RunOn(slave_path_, {"battery", "--json"}, "battery");
  ASSERT_EQ(battery.status, 0) << battery.err;
  EXPECT_EQ(Parse(battery), json({{"battery", "low"}}));
}

TEST_F(TessorctlJson, TracksAreOneDocumentWithTheTabRowsFields) {
  devsim::Scenario s;
  s.tracks = {test::FilledTrack(90102, 12), test::FilledTrack(231231, 3)};
  StartDevice(s);
  const auto tab = RunOn(slave_path_, {"tracks"}, "tab");
  const auto js = RunOn(slave_path_, {"tracks", "--json"}, "json");
  ASSERT_EQ(tab.status, 0) << tab.err;
  ASSERT_EQ(js.status, 0) << js.err;
  std::vector<std::vector<std::string>> rows;
  for (const auto& row : Rows(tab.out))
    if (row.size() == 5) rows.push_back(row);
  const json document = Parse(js);
  ASSERT_EQ(rows.size(), 2u) << tab.out;
  ASSERT_EQ(document.at("tracks").size(), rows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    const json& t = document["tracks"][i];
    EXPECT_EQ(std::to_string(t.at("index").get<int>()), rows[i][0]);
    EXPECT_EQ(t.at("date"), rows[i][1]);
    EXPECT_EQ(std::to_string(t.at("format").get<int>()), rows[i][2]);
    EXPECT_EQ(std::to_string(t.at("records").get<int>()), rows[i][3]);
    EXPECT_EQ(t.at("valid").get<bool>() ? "1" : "0", rows[i][4]);
  }
  EXPECT_EQ(document["tracks"][0].at("date"), "090102") << "the date keeps its leading zero";
}

TEST_F(TessorctlJson, PortsIsOneDocumentWithARowPerPort) {
  // The simulator's link in the per-user ports folder: at least one port.
  ::setenv("XDG_RUNTIME_DIR", data_home_.c_str(), 1);
  const std::string folder = data_home_ + "/tessor/ports";
  std::filesystem::create_directories(folder);
  StartDevice(devsim::Scenario{});
  std::filesystem::create_symlink(slave_path_, folder + "/tessor-devsim-test");
  const auto tab = Offline({"ports"}, "tab");
  const auto js = Offline({"ports", "--json"}, "json");
#ifdef TESSOR_HAVE_PORT_DIRECTORY
  ASSERT_EQ(js.status, 0) << js.err;
  const json document = Parse(js);
  const auto rows = Rows(tab.out);
  ASSERT_EQ(document.at("ports").size(), rows.size());
  EXPECT_FALSE(rows.empty());
  for (size_t i = 0; i < rows.size(); ++i) {
    const json& port = document["ports"][i];
    EXPECT_EQ(port.at("port"), rows[i][0]);
    EXPECT_EQ("COM" + std::to_string(port.at("number").get<int>()), rows[i][0]);
    EXPECT_EQ(port.at("path"), rows[i][1]);
    EXPECT_EQ(port.at("description"), rows[i][2]);
  }
  // A pty has no device in sysfs: no ids, driver or serial, in the keys and in
  // the description, which still says whether the port may be opened.
  const std::string link = folder + "/tessor-devsim-test";
  const auto sim = std::find_if(document.at("ports").begin(), document.at("ports").end(),
                                [&](const json& p) { return p.at("path") == link; });
  ASSERT_NE(sim, document.at("ports").end()) << js.out;
  for (const char* key : {"vendor_id", "product_id", "driver", "serial", "access_hint"}) {
    EXPECT_TRUE(sim->at(key).is_null()) << key << ": " << *sim;
  }
  EXPECT_EQ(sim->at("may_open"), true);
  EXPECT_EQ(sim->at("description"), "simulated device (" + slave_path_ + "), access ok");
#else
  EXPECT_EQ(js.status, 64);
#endif
}

}  // namespace
}  // namespace tessor
