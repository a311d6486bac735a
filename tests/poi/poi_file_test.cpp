#include "poi/poi_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "../database/test_files.h"
#include "poi/poi_rules.h"

namespace tessor {
namespace {

using test::MessageRecorder;
using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

const std::string kHeader = "Latitude,Longitude,direction,vmax,Type,Comments\r\n";
constexpr float kRad = 0.017453292f;

std::vector<CPOI> ReadPois(const std::string& text, bool* ok = nullptr) {
  TempFolder folder;
  WriteFile(folder.File("POI.csv"), text);
  CPOIFileProcess reader;
  const bool result = reader.OpenAndRead(folder.File("POI.csv"));
  if (ok != nullptr) *ok = result;
  std::vector<CPOI>* pois = nullptr;
  if (!reader.GetPois(&pois)) return {};
  return *pois;
}

// Loads a POI file and judges it against a coverage, as the POI page does.
struct Loaded {
  std::vector<CPOI> records;
  PoiList list;
};

void Load(const std::string& path, const DatabaseCoverage& coverage, Loaded& loaded) {
  CPOIFileProcess reader;
  ASSERT_TRUE(reader.OpenAndRead(path));
  std::vector<CPOI>* pois = nullptr;
  ASSERT_TRUE(reader.GetPois(&pois));
  BuildPoiList(pois->data(), reader.record_count(), coverage, loaded.records, loaded.list);
}

constexpr DatabaseCoverage kWorld = {-3.2f, -1.6f, 3.2f, 1.6f};

TEST(PoiReader, ReadsFieldsAndTheRestOfTheLineAsComment) {
  bool ok = false;
  auto pois = ReadPois(kHeader +
                           "48.1,11.5,0,-1,0,home, garage\r\n"
                           "95,10,400,50,-1,a*b\r\n"
                           "12.5,8.3\r\n"
                           "1,2,-5,30,7,\r\n",
                       &ok);
  ASSERT_TRUE(ok);
  ASSERT_EQ(pois.size(), 4u);
  EXPECT_EQ(pois[0].vmax, -1.0f);
  EXPECT_EQ(pois[0].comment(), "home, garage");
  EXPECT_FLOAT_EQ(pois[1].latitude, 90.0f * kRad);
  EXPECT_EQ(pois[1].direction, 0);
  EXPECT_EQ(pois[1].type, 65535);
  EXPECT_EQ(pois[1].comment(), "a*b");
  EXPECT_EQ(pois[2].direction, 0);
  EXPECT_EQ(pois[2].vmax, 0.0f);
  EXPECT_EQ(pois[2].type, 0);
  EXPECT_EQ(pois[2].comment(), "");
  EXPECT_EQ(pois[3].direction, 0);
  EXPECT_EQ(pois[3].status, Unchecked);
  EXPECT_EQ(pois[3].duplicateOf, -1);
}

TEST(PoiReader, ReadsLfFilesAndALastLineWithoutEnd) {
  const std::string lines = "1,1,0,0,0,a\r\n2,2,0,0,0,b\r\n3,3,0,0,0,c";
  std::string lf = kHeader + lines;
  std::erase(lf, '\r');
  for (const std::string& text : {kHeader + lines + "\r\n", kHeader + lines, lf, lf + "\n"}) {
    const auto pois = ReadPois(text);
    ASSERT_EQ(pois.size(), 3u) << text;
    EXPECT_EQ(pois[1].comment(), "b");  // no CR left in the comment
    EXPECT_EQ(pois[2].comment(), "c");
  }
}

// Only lines that hold a POI make records: no POI at 0 degrees/0 degrees from a
// blank line, none with a NaN or infinite number.
TEST(PoiReader, BlankAndBadLinesMakeNoPoi) {
  MessageRecorder recorder;
  const auto pois = ReadPois(kHeader +
                             "48.1,11.5,0,50,0,home\r\n"
                             "\r\n"
                             "48.2,11.6,0,nan,0,speed nan\r\n"
                             "inf,11.6,0,50,0,far north\r\n"
                             "no position,,,,,\r\n"
                             "48.3,11.7,0,60,0,work\r\n"
                             "\r\n");
  ASSERT_EQ(pois.size(), 2u);
  EXPECT_EQ(pois[0].comment(), "home");
  EXPECT_EQ(pois[1].comment(), "work");
  EXPECT_EQ(recorder.messages(),
            std::vector<std::string>{"Zevev Iruded Evezozoz Izidavo|3 lines hold no usable record "
                                     "and were skipped; the first is line 4."});

  // A file of blank lines after the header holds no POI.
  bool ok = true;
  EXPECT_TRUE(ReadPois(kHeader + "\r\n\r\n", &ok).empty());
  EXPECT_FALSE(ok);
}

TEST(PoiReader, RefusesAFileWithoutItsHeader) {
  MessageRecorder recorder;
  bool ok = true;
  // The camera header is not enough: the POI header names the comments too.
  ReadPois("Latitude,Longitude,direction,vmax,Type\r\n1,2,0,0,0\r\n3,4,0,0,0\r\n", &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(recorder.messages(),
            std::vector<std::string>{"Zevev Iruded Evezozoz Izidavo|File format is not correct!! "
                                     "Please check the POI file!!"});
}

TEST(PoiReader, CutsLongCommentsOnCharacterBoundaries) {
  struct Case {
    std::string unit;
    size_t kept;
  } cases[] = {{"a", 255}, {"\xc3\xa9", 254}, {"\xe2\x82\xac", 255}, {"\xf0\x9f\x9a\x97", 252}};
  for (const Case& c : cases) {
    std::string comment;
    while (comment.size() < 300) comment += c.unit;
    auto pois = ReadPois(kHeader + "1,2,0,0,0," + comment + "\r\n");
    ASSERT_EQ(pois.size(), 1u);
    EXPECT_EQ(pois[0].comment(), comment.substr(0, c.kept)) << c.unit;
  }
  EXPECT_EQ(TruncateUtf8("ab\xc3\xa9", 3), "ab");
  EXPECT_EQ(TruncateUtf8("\x80\x80\x80\x80\x80", 2), "\x80\x80");  // not UTF-8: cut at the limit
}

TEST(PoiFile, LoadAndSaveKeepTheLineOrder) {
  TempFolder folder;
  const std::string text = kHeader +
                           "10.000000,20.000000,90,50.000000,1,first\r\n"
                           "11.000000,21.000000,0,-1.000000,65535,second, with comma\r\n"
                           "12.000000,22.000000,360,300.000000,2,third\r\n";
  WriteFile(folder.File("POI.csv"), text);
  Loaded loaded;
  Load(folder.File("POI.csv"), kWorld, loaded);
  ASSERT_EQ(loaded.list.size(), 3u);
  EXPECT_EQ(loaded.list[0]->comment(), "third");  // the first row is the last line
  ASSERT_TRUE(WritePoiFile(folder.File("saved.csv"), loaded.list, true));
  EXPECT_EQ(ReadFile(folder.File("saved.csv")), text);
}

TEST(PoiFile, SavesOnlyValidEntriesOrAll) {
  TempFolder folder;
  // The second line is 10 m from the first; the third lies outside the coverage.
  WriteFile(folder.File("POI.csv"), kHeader +
                                        "10.000000,20.000000,0,50.000000,0,a\r\n"
                                        "10.000090,20.000000,0,50.000000,0,b\r\n"
                                        "40.000000,20.000000,0,50.000000,0,c\r\n"
                                        "10.000000,25.000000,0,500.000000,0,d\r\n");
  const DatabaseCoverage coverage = {19 * kRad, 9 * kRad, 26 * kRad, 11 * kRad};
  Loaded loaded;
  Load(folder.File("POI.csv"), coverage, loaded);
  ASSERT_EQ(loaded.list.size(), 3u);  // d's speed keeps it off the list
  EXPECT_EQ(PoiStatusText(*loaded.list[0]), "Out of VELD range");
  EXPECT_EQ(PoiStatusText(*loaded.list[1]), "OK");  // b entered first
  EXPECT_EQ(PoiStatusText(*loaded.list[2]), "Duplicated with No. 2");

  ASSERT_TRUE(WritePoiFile(folder.File("valid.csv"), loaded.list, true));
  EXPECT_EQ(ReadFile(folder.File("valid.csv")),
            kHeader + "10.000090,20.000000,0,50.000000,0,b\r\n");
  ASSERT_TRUE(WritePoiFile(folder.File("all.csv"), loaded.list, false));
  EXPECT_EQ(ReadFile(folder.File("all.csv")), kHeader +
                                                  "10.000000,20.000000,0,50.000000,0,a\r\n"
                                                  "10.000090,20.000000,0,50.000000,0,b\r\n"
                                                  "40.000000,20.000000,0,50.000000,0,c\r\n");
}

TEST(PoiFile, WritesLineBreaksInCommentsAsBlanks) {
  TempFolder folder;
  CPOI poi;
  poi.SetLatitude(1);
  poi.SetLongitude(2);
  poi.SetComment("two\r\nlines\nhere\r");
  PoiList list = {&poi};
  ASSERT_TRUE(WritePoiFile(folder.File("POI.csv"), list, false));
  EXPECT_EQ(ReadFile(folder.File("POI.csv")),
            kHeader + "1.000000,2.000000,0,0.000000,0,two  lines here \r\n");
}

TEST(PoiFile, AFullListSaysHowManyWereLeftOut) {
  std::vector<CPOI> read(4100);
  for (size_t i = 0; i < read.size(); ++i) {
    read[i].SetLatitude(static_cast<double>(i % 80));
    read[i].SetLongitude(static_cast<double>(i / 80));
  }
  read[3].vmax = 400;  // never listed, and not counted as left out
  std::vector<CPOI> records;
  PoiList list;
  EXPECT_EQ(BuildPoiList(read.data(), static_cast<uint32_t>(read.size()), kWorld, records, list),
            3u);
  EXPECT_EQ(list.size(), kPoiListCapacity);
  EXPECT_EQ(PoiLeftOutText(3), "The POI list holds at most 4096 POIs: 3 POIs were left out.");
  EXPECT_EQ(PoiLeftOutText(1), "The POI list holds at most 4096 POIs: 1 POI was left out.");
  EXPECT_EQ(PoiLeftOutText(0), "");
}

TEST(PoiFile, WritesAtMost4096Lines) {
  TempFolder folder;
  std::vector<CPOI> records(5000);
  PoiList list;
  for (CPOI& poi : records) {
    poi.status = Valid;
    list.push_back(&poi);  // a list built by hand, past the cap
  }
  ASSERT_TRUE(WritePoiFile(folder.File("POI.csv"), list, false));
  const std::string text = ReadFile(folder.File("POI.csv"));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4097);
}

TEST(PoiFile, AFailedWriteKeepsTheOldFile) {
  TempFolder folder;
  const std::string path = folder.File("POI.csv");
  const std::string old = kHeader + "1.000000,2.000000,0,0.000000,0,keep me\r\n";
  WriteFile(path, old);
  std::vector<CPOI> records(200);
  PoiList list;
  for (CPOI& poi : records) list.push_back(&poi);

  // A file size limit makes the write fail half-way, as a full disk would.
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  auto* previous = signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 1000;
  setrlimit(RLIMIT_FSIZE, &small);
  MessageRecorder recorder;
  const bool written = WritePoiFile(path, list, false);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, previous);

  EXPECT_FALSE(written);
  EXPECT_EQ(ReadFile(path), old);
  ASSERT_EQ(recorder.messages().size(), 1u);
  EXPECT_EQ(recorder.messages()[0],
            std::string("Zevev Iruded Evezozoz Izidavo|") + std::strerror(EFBIG));
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 1u) << "the temporary file is removed";

  EXPECT_FALSE(WritePoiFile(folder.File("missing/POI.csv"), list, false));
  EXPECT_FALSE(WritePoiFile("", list, false));
}

TEST(PoiFile, TorontoCamerasAsPois) {
  // Real positions, with real near-duplicates, inside their own coverage.
  const auto positions = test::TorontoPositions();
  ASSERT_EQ(positions.size(), 154u);
  std::string text = kHeader;
  float min_lat = 90, min_lon = 180, max_lat = -90, max_lon = -180;
  char line[160];
  for (size_t i = 0; i < positions.size(); ++i) {
    std::snprintf(line, sizeof line, "%.6f,%.6f,0,%d,0,camera %zu\r\n", positions[i].latitude,
                  positions[i].longitude, static_cast<int>(i % 8) * 50, i);
    text += line;
  }
  TempFolder folder;
  WriteFile(folder.File("POI.csv"), text);
  CPOIFileProcess reader;
  ASSERT_TRUE(reader.OpenAndRead(folder.File("POI.csv")));
  std::vector<CPOI>* pois = nullptr;
  ASSERT_TRUE(reader.GetPois(&pois));
  for (const CPOI& p : *pois) {
    min_lat = std::min(min_lat, p.latitude);
    min_lon = std::min(min_lon, p.longitude);
    max_lat = std::max(max_lat, p.latitude);
    max_lon = std::max(max_lon, p.longitude);
  }
  Loaded loaded;
  BuildPoiList(pois->data(), reader.record_count(), {min_lon, min_lat, max_lon, max_lat},
               loaded.records, loaded.list);
  // A speed of 350 keeps every eighth one off the list.
  size_t listed = 0;
  for (size_t i = 0; i < positions.size(); ++i) listed += (i % 8) * 50 <= 300;
  ASSERT_EQ(loaded.list.size(), listed);
  size_t valid = 0, duplicates = 0;
  for (size_t i = 0; i < loaded.list.size(); ++i) {
    const CPOI& poi = *loaded.list[i];
    ASSERT_NE(poi.status, OutOfCoverage) << "edges are inclusive";
    if (poi.status == Valid) {
      ++valid;
      for (size_t j = 0; j < i; ++j) {
        if (loaded.list[j]->status != Valid) continue;
        EXPECT_GT(PointDistance(poi.latitude, poi.longitude, loaded.list[j]->latitude,
                                loaded.list[j]->longitude),
                  1000.0);
      }
    } else {
      ASSERT_EQ(poi.status, Duplicate);
      ++duplicates;
      ASSERT_GE(poi.duplicateOf, 0);
      ASSERT_LT(static_cast<size_t>(poi.duplicateOf), i);
      const CPOI& first = *loaded.list[static_cast<size_t>(poi.duplicateOf)];
      EXPECT_EQ(first.status, Valid);
      EXPECT_LE(PointDistance(poi.latitude, poi.longitude, first.latitude, first.longitude),
                1000.0);
    }
  }
  EXPECT_GT(valid, 10u);
  EXPECT_GT(duplicates, 10u);
}

}  // namespace
}  // namespace tessor
