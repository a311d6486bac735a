#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "../database/test_files.h"
#include "poi/map_page.h"

extern char** environ;

namespace tessor {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

struct Result {
  int status = -1;
  std::string out, err;
};

// Runs tessorctl with the arguments; standard output and error into files.
Result Tessorctl(const TempFolder& folder, std::vector<std::string> args) {
  args.insert(args.begin(), TESSORCTL);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const std::string out = folder.File(".stdout"), err = folder.File(".stderr");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = 0;
  Result result;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  result.out = ReadFile(out);
  result.err = ReadFile(err);
  return result;
}

const std::string kPoiHeader = "Latitude,Longitude,direction,vmax,Type,Comments\r\n";

TEST(Tessorctl, HelpVersionAndBadUsage) {
  TempFolder folder;
  const Result help = Tessorctl(folder, {"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* sub : {"poi-check", "map-page", "image-info", "build-image",
                          "export-binary-list", "convert-mobile"}) {
    EXPECT_NE(help.out.find(sub), std::string::npos) << sub;
  }
  const Result version = Tessorctl(folder, {"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string("tessorctl ") + TESSOR_VERSION + "\n");

  const std::vector<std::vector<std::string>> bad = {
      {},
      {"no-such-command"},
      {"poi-check"},
      {"poi-check", "x.csv", "--coverage", "1,2,3"},
      {"build-image", "a.csv", "b.bin", "--cell-km", "4"},
      {"map-page", "--poi", "1", "--coverage", "0,0,1,1", "x.html"},
      {"image-info", "a", "b"},
  };
  for (const auto& args : bad) {
    EXPECT_EQ(Tessorctl(folder, args).status, 64) << (args.empty() ? "" : args[0]);
  }
}

TEST(Tessorctl, PoiCheckPrintsTheListAndSaves) {
  TempFolder folder;
  WriteFile(folder.File("POI.csv"), kPoiHeader +
                                        "43.5,-79.5,0,50,0,home, garage\r\n"
                                        "43.5,-79.5,0,-1,0,again\r\n"
                                        "10,10,0,400,0,fast\r\n"
                                        "45,-79.5,0,30,0,north\r\n");
  const Result r =
      Tessorctl(folder, {"poi-check", folder.File("POI.csv"), "--coverage", "-80,43,-79,44",
                         "--save", folder.File("valid.csv"), "--save-all", folder.File("all.csv")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "No.\tLatitude\tLongitude\tSpeed\tComments\tStatus\n"
            "1\t45.000000\t-79.500000\t30\tnorth\tOut of VELD range\n"
            "2\t43.500000\t-79.500000\t-1\tagain\tOK\n"
            "3\t43.500000\t-79.500000\t50\thome, garage\tDuplicated with No. 2\n"
            "Valid POIs\t1\n");
  EXPECT_EQ(ReadFile(folder.File("valid.csv")),
            kPoiHeader + "43.500000,-79.500000,0,-1.000000,0,again\r\n");
  EXPECT_EQ(ReadFile(folder.File("all.csv")),
            kPoiHeader +
                "43.500000,-79.500000,0,50.000000,0,home, garage\r\n"
                "43.500000,-79.500000,0,-1.000000,0,again\r\n"
                "45.000000,-79.500000,0,30.000000,0,north\r\n");

  // Without a coverage everything away from 0/0 is out of range.
  const Result zero = Tessorctl(folder, {"poi-check", folder.File("POI.csv")});
  EXPECT_EQ(zero.status, 0);
  EXPECT_NE(zero.out.find("Valid POIs\t0\n"), std::string::npos);
}

TEST(Tessorctl, PoiCheckRefusesBadFilesAndUnwritableOutput) {
  TempFolder folder;
  WriteFile(folder.File("cameras.csv"),
            "Latitude,Longitude,direction,vmax,Type\r\n1,2,0,0,0\r\n\r\n");
  const Result bad = Tessorctl(folder, {"poi-check", folder.File("cameras.csv")});
  EXPECT_EQ(bad.status, 65);
  EXPECT_NE(bad.err.find("message: File format is not correct!! Please check the POI file!!\n"),
            std::string::npos);
  EXPECT_EQ(Tessorctl(folder, {"poi-check", folder.File("missing.csv")}).status, 65);

  WriteFile(folder.File("POI.csv"), kPoiHeader + "1,2,0,0,0,x\r\n");
  const Result unwritable =
      Tessorctl(folder, {"poi-check", folder.File("POI.csv"), "--save", folder.File("no/dir.csv")});
  EXPECT_EQ(unwritable.status, 74);
  EXPECT_NE(unwritable.err.find("message: No such file or directory"), std::string::npos);
}

// Lines that no record filled are not used: no camera or POI at 0/0 from a
// blank line, no NaN or infinite number stored, and one message about them.
TEST(Tessorctl, BlankAndNonFiniteLinesAreNotUsed) {
  TempFolder folder;
  WriteFile(folder.File("cameras.csv"), test::TorontoCameraCsv(test::TorontoPositions()) + "\r\n");
  const Result build =
      Tessorctl(folder, {"build-image", folder.File("cameras.csv"), folder.File("db.bin")});
  EXPECT_EQ(build.status, 0) << build.out << build.err;

  WriteFile(folder.File("POI.csv"), kPoiHeader +
                                        "43.5,-79.5,0,50,0,home\r\n"
                                        "\r\n"
                                        "43.7,-79.3,0,nan,0,no speed\r\n"
                                        "43.8,-79.2,0,50,0,work\r\n");
  // The coverage holds 0/0 too, so a POI made from nothing would pass as "OK".
  const Result check = Tessorctl(folder, {"poi-check", folder.File("POI.csv"), "--coverage",
                                          "-80,-1,1,44", "--save", folder.File("valid.csv")});
  EXPECT_EQ(check.status, 0) << check.err;
  EXPECT_EQ(check.out,
            "No.\tLatitude\tLongitude\tSpeed\tComments\tStatus\n"
            "1\t43.799999\t-79.199997\t50\twork\tOK\n"
            "2\t43.500000\t-79.500000\t50\thome\tOK\n"
            "Valid POIs\t2\n");
  EXPECT_EQ(check.err, "message: Line 4 holds no usable record and was skipped.\n");
  EXPECT_EQ(ReadFile(folder.File("valid.csv")), kPoiHeader +
                                                    "43.500000,-79.500000,0,50.000000,0,home\r\n"
                                                    "43.799999,-79.199997,0,50.000000,0,work\r\n");

  for (const char* poi : {"nan,inf", "43.6,inf", "nan,1"}) {
    const Result page = Tessorctl(
        folder, {"map-page", "--poi", poi, "--coverage", "-80,43,-79,44", folder.File("POI.html")});
    EXPECT_EQ(page.status, 64) << poi;
  }
  EXPECT_EQ(Tessorctl(folder, {"map-page", "--poi", "43.6,-79.4", "--coverage", "-80,nan,-79,44",
                               folder.File("POI.html")})
                .status,
            64);
  EXPECT_FALSE(std::filesystem::exists(folder.File("POI.html")));
}

TEST(Tessorctl, PoiCheckSaysWhatAFullListLeftOut) {
  TempFolder folder;
  std::string pois = "Latitude,Longitude,direction,vmax,Type,Comments\n";
  for (int i = 0; i < 4100; ++i) {
    pois += std::to_string(i % 80) + "," + std::to_string(i / 80) + ",0,50,0,p\n";
  }
  WriteFile(folder.File("POI.csv"), pois);
  const Result check = Tessorctl(folder, {"poi-check", folder.File("POI.csv")});
  EXPECT_EQ(check.status, 0);
  EXPECT_NE(check.out.find("\n4096\t"), std::string::npos);
  EXPECT_EQ(check.out.find("\n4097\t"), std::string::npos);
  EXPECT_EQ(check.err, "message: The POI list holds at most 4096 POIs: 4 POIs were left out.\n");
}

TEST(Tessorctl, MapPageWritesThePageOrFails) {
  TempFolder folder;
  const Result r = Tessorctl(folder, {"map-page", "--poi", "43.6,-79.4", "--coverage",
                                      "-80,43,-79,44", folder.File("POI.html")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  ASSERT_TRUE(WriteMapPage(folder.File("direct.html"), {43.6, -79.4}, {43, -80}, {44, -79}));
  EXPECT_EQ(ReadFile(folder.File("POI.html")), ReadFile(folder.File("direct.html")));
  EXPECT_EQ(Tessorctl(folder, {"map-page", "--poi", "1,2", "--coverage", "0,0,1,1",
                               folder.File("no/POI.html")})
                .status,
            74);
}

TEST(Tessorctl, BuildImageThenImageInfo) {
  TempFolder folder;
  WriteFile(folder.File("cameras.csv"), test::TorontoCameraCsv(test::TorontoPositions()));
  const Result build = Tessorctl(
      folder, {"build-image", folder.File("cameras.csv"), folder.File("db.bin"), "--cell-km", "2"});
  EXPECT_EQ(build.status, 0) << build.err;
  EXPECT_EQ(build.out,
            "Build cells ...Done.\nAdd speed camera points to cells...Done.\n"
            "Build DB Header...Processing.\nBuild DB Header...Done.\n"
            "Build DB Index...Processing.\nBuild DB Index...Done\n"
            "Build DB Data...Processing.\nBuild DB Data...Done.\n");

  const Result info = Tessorctl(folder, {"image-info", folder.File("db.bin")});
  EXPECT_EQ(info.status, 0);
  EXPECT_EQ(info.out.rfind("magic\t%CDB\nflags\t1,0,0,1\n", 0), 0u);
  EXPECT_NE(info.out.find("\nvalue-r\t154\n"), std::string::npos);
  EXPECT_NE(info.out.find("\npoint-length\t" + std::to_string(154 * 16 + 4) + "\n"),
            std::string::npos);
  EXPECT_EQ(info.out.substr(info.out.size() - 10), "valid\tyes\n");

  std::string image = ReadFile(folder.File("db.bin"));
  image.resize(image.size() - 1);
  WriteFile(folder.File("cut.bin"), image);
  const Result cut = Tessorctl(folder, {"image-info", folder.File("cut.bin")});
  EXPECT_EQ(cut.status, 65);
  EXPECT_NE(cut.out.find("\nvalid\tno: "), std::string::npos);
  EXPECT_EQ(Tessorctl(folder, {"image-info", folder.File("none.bin")}).status, 65);

  const Result big = Tessorctl(folder, {"build-image", folder.File("cameras.csv"),
                                        folder.File("big.bin"), "--capacity", "1000"});
  EXPECT_EQ(big.status, 65);
  EXPECT_NE(big.out.find("Flash size: 1000\n"), std::string::npos);
  EXPECT_NE(big.err.find("message: Can not upload VELD, VELD size is Biger than the memory size "
                         "of the device!!"),
            std::string::npos);
  EXPECT_EQ(Tessorctl(folder, {"build-image", folder.File("cameras.csv"), folder.File("no/db.bin")})
                .status,
            74);
  EXPECT_EQ(
      Tessorctl(folder, {"build-image", folder.File("none.csv"), folder.File("x.bin")}).status, 65);
}

TEST(Tessorctl, ConvertersWriteCameraCsv) {
  TempFolder folder;
  std::string list = "x%CDB";
  const double position[2] = {43.5, -79.25};
  const uint16_t direction = 90;
  const float vmax = 60.0f;
  list.append(reinterpret_cast<const char*>(position), 16);
  list.append(reinterpret_cast<const char*>(&direction), 2);
  list.append(reinterpret_cast<const char*>(&vmax), 4);
  list.push_back('\x02');
  WriteFile(folder.File("list.bin"), list);
  EXPECT_EQ(
      Tessorctl(folder, {"export-binary-list", folder.File("list.bin"), folder.File("out.csv")})
          .status,
      0);
  EXPECT_EQ(ReadFile(folder.File("out.csv")),
            "Latitude,Longitude,direction,vmax,Type\r\n43.500000,-79.250000,90,60.000000,2\r\n");
  WriteFile(folder.File("bad.bin"), "x%CDX");
  EXPECT_EQ(Tessorctl(folder, {"export-binary-list", folder.File("bad.bin"), folder.File("o.csv")})
                .status,
            65);
  EXPECT_EQ(
      Tessorctl(folder, {"export-binary-list", folder.File("list.bin"), folder.File("no/o.csv")})
          .status,
      74);

  // LF-only lists and a last line without an end are read too; the output has CR LF.
  for (const std::string end : {"\r\n", "\n"}) {
    WriteFile(folder.File("mobile.txt"),
              "11.5,48.1,7" + end + "-79.25,43.5,0" + end + "1.25,2.5,0");
    EXPECT_EQ(Tessorctl(folder, {"convert-mobile", folder.File("mobile.txt"), folder.File("m.csv")})
                  .status,
              0);
    EXPECT_EQ(ReadFile(folder.File("m.csv")),
              "Latitude,Longitude,direction,vmax,Type\r\n48.100000, 11.500000, 0, -1.0,0\r\n"
              "43.500000, -79.250000, 0, -1.0,0\r\n2.500000, 1.250000, 0, -1.0,0\r\n");
  }
  EXPECT_EQ(
      Tessorctl(folder, {"convert-mobile", folder.File("none.txt"), folder.File("m.csv")}).status,
      65);
  EXPECT_EQ(
      Tessorctl(folder, {"convert-mobile", folder.File("mobile.txt"), folder.File("no/m.csv")})
          .status,
      74);
}

}  // namespace
}  // namespace tessor
