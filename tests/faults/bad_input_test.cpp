// Bad files and folders through tessorctl: every reader refuses with a clear
// error or reads what it can, never crashes, and never leaves a half-written
// file under the name it was asked to write.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "part_files.h"
#include "run_program.h"

namespace tessor {
namespace {

using test::ProgramResult;

// Runs tessorctl in a child, optionally as an unprivileged user and with a
// file-size limit (a full disk as far as the program can tell).
ProgramResult RunCtl(const std::vector<std::string>& args, const std::string& scratch,
                     bool unprivileged = false, rlim_t file_limit = RLIM_INFINITY) {
  std::vector<std::string> all;
  if (unprivileged) all = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
  all.push_back(TESSORCTL_PATH);
  all.insert(all.end(), args.begin(), args.end());
  const std::string out = scratch + ".stdout", err = scratch + ".stderr";
  const pid_t pid = fork();
  if (pid == 0) {
    std::freopen("/dev/null", "r", stdin);
    std::freopen(out.c_str(), "w", stdout);
    std::freopen(err.c_str(), "w", stderr);
    // Over the limit a write fails with EFBIG instead of killing the program.
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit = {file_limit, file_limit};
    setrlimit(RLIMIT_FSIZE, &limit);
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  ProgramResult r;
  int status = 0;
  waitpid(pid, &status, 0);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::ifstream o(out), e(err);
  r.out.assign(std::istreambuf_iterator<char>(o), {});
  r.err.assign(std::istreambuf_iterator<char>(e), {});
  return r;
}

class BadInput : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tessor-bad-XXXXXX";
    dir_ = ::mkdtemp(pattern);
    ::chmod(dir_.c_str(), 0755);  // the unprivileged runs need to reach it
    ::setenv("XDG_DATA_HOME", (dir_ + "/data").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (dir_ + "/config").c_str(), 1);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::permissions(dir_ + "/ro", std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(dir_, ignored);
  }

  std::string Write(const std::string& name, const std::string& bytes, mode_t mode = 0644) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    ::chmod(path.c_str(), mode);
    return path;
  }

  std::string dir_;
};

std::string Repeat(const std::string& line, size_t times) {
  std::string s;
  s.reserve(line.size() * times);
  for (size_t i = 0; i < times; ++i) s += line;
  return s;
}

const std::string kCameraHeader = "Latitude,Longitude,direction,vmax,Type\r\n";
const std::string kPoiHeader = "Latitude,Longitude,direction,vmax,Type,Comments\r\n";

std::string BinaryList(size_t cameras) {
  std::string s = std::string(1, '\0') + "%CDB";
  for (size_t i = 0; i < cameras; ++i) {
    const double lat = 25.0 + i * 1e-4, lon = 121.5;
    const uint16_t dir = 90;
    const float vmax = 60;
    const uint8_t type = 1;
    s.append(reinterpret_cast<const char*>(&lat), 8).append(reinterpret_cast<const char*>(&lon), 8);
    s.append(reinterpret_cast<const char*>(&dir), 2)
        .append(reinterpret_cast<const char*>(&vmax), 4);
    s.append(reinterpret_cast<const char*>(&type), 1);
  }
  return s;
}

// Each reader command with its kind of input; "-" marks where the input goes,
// "OUT" the file it writes (none for a reader that only reports).
struct Command {
  const char* name;
  std::vector<std::string> args;
  std::string good_header;  // what a well-formed file starts with
  bool refuses_empty;       // an empty mobile list is an empty camera list
};

const Command kCommands[] = {
    {"build-image", {"build-image", "-", "OUT"}, kCameraHeader, true},
    {"poi-check", {"poi-check", "-"}, kPoiHeader, true},
    {"convert-mobile", {"convert-mobile", "-", "OUT"}, "", false},
    {"export-binary-list", {"export-binary-list", "-", "OUT"}, std::string(1, '\0') + "%CDB", true},
    {"image-info", {"image-info", "-"}, "%CDB", true},
};

struct BadFile {
  const char* name;
  std::string bytes;  // empty name of a kind below: missing
};

std::vector<BadFile> BadFiles(const std::string& header) {
  return {
      {"empty", ""},
      {"header_only_no_crlf", header.substr(0, header.size() > 2 ? header.size() - 2 : 0)},
      {"no_crlf", header + "25.0,121.5,90,60,1\n25.1,121.6,90,60,1\n"},
      {"one_mib_line", header + std::string(1 << 20, '7') + "\r\n"},
      {"nul_and_ff", header + std::string("25.0\0,121\xff.5,9\0,\xff\xff,1\r\n", 23) +
                         std::string(4096, '\0') + std::string(4096, '\xff')},
      {"seventy_thousand_lines", header + Repeat("25.0345,121.5644,90,60,1\r\n", 70000)},
  };
}

// Whatever happens, the program ends by itself, says why it refused, and
// leaves no output under the final name when it refused.
void CheckOutcome(const ProgramResult& r, const std::string& output, const std::string& what) {
  ASSERT_LT(r.status, 128) << what << ": killed by a signal\n" << r.err;
  EXPECT_NE(r.status, 127) << what;
  if (r.status != 0) {
    EXPECT_FALSE(r.out.empty() && r.err.empty()) << what << ": refused without a word";
    if (!output.empty()) {
      EXPECT_FALSE(std::filesystem::exists(output)) << what << ": half-written output left";
    }
  }
}

TEST_F(BadInput, EveryReaderSurvivesEveryBadFile) {
  for (const Command& c : kCommands) {
    for (const BadFile& f : BadFiles(c.good_header)) {
      const std::string what = std::string(c.name) + " / " + f.name;
      const std::string input = Write(std::string(c.name) + "-" + f.name, f.bytes);
      const std::string output = dir_ + "/" + c.name + "-" + f.name + ".out";
      std::vector<std::string> args = c.args;
      bool writes = false;
      for (std::string& a : args) {
        if (a == "-") a = input;
        if (a == "OUT") {
          a = output;
          writes = true;
        }
      }
      const ProgramResult r = RunCtl(args, dir_ + "/run");
      CheckOutcome(r, writes ? output : "", what);
      if (std::string(f.name) == "empty" && c.refuses_empty) {
        EXPECT_NE(r.status, 0) << what << " accepted";
      }
    }
  }
}

// A NaN or infinite number in a binary list or a log record is not written
// out as "nan" or "inf": the camera or point is refused and reported.
TEST_F(BadInput, NonFiniteNumbersAreRefusedNotWritten) {
  std::string list = BinaryList(3);
  const double nan = std::nan("");
  const float inf = HUGE_VALF;
  std::memcpy(&list[5 + 23 * 1], &nan, 8);       // the second camera's latitude
  std::memcpy(&list[5 + 23 * 2 + 18], &inf, 4);  // the third one's speed
  const std::string out = dir_ + "/cameras.csv";
  const ProgramResult exported =
      RunCtl({"export-binary-list", Write("list.bin", list), out}, dir_ + "/run");
  EXPECT_EQ(exported.status, 0) << exported.err;
  std::ifstream in(out);
  const std::string csv(std::istreambuf_iterator<char>(in), {});
  EXPECT_EQ(csv, kCameraHeader + "25.000000,121.500000,90,60.000000,1\r\n");
  EXPECT_EQ(exported.err,
            "message: 2 cameras hold no usable record and were skipped; the first is camera 2.\n");

  // Type 2 records: an infinite altitude, then an infinite speed, then a good point.
  struct Point {
    float altitude, speed;
  };
  std::string records;
  const float lat = 0.437f, lon = 2.12f, good = 35.5f;
  for (const Point& p : {Point{inf, good}, Point{good, -inf}, Point{good, good}}) {
    const uint8_t time[4] = {0, 8, 30, static_cast<uint8_t>(records.size() / 20)};
    records.append(reinterpret_cast<const char*>(time), 4);
    for (const float value : {lat, lon, p.altitude, p.speed}) {
      records.append(reinterpret_cast<const char*>(&value), 4);
    }
  }
  const std::string nmea = dir_ + "/track.nmea";
  const ProgramResult converted = RunCtl(
      {"convert-log", "--format", "2", "--date", "070314", Write("track.bin", records), nmea},
      dir_ + "/run");
  EXPECT_EQ(converted.status, 0) << converted.err;
  EXPECT_NE(converted.out.find("  2  "), std::string::npos) << converted.out;  // two errors
  std::ifstream track(nmea);
  const std::string sentences(std::istreambuf_iterator<char>(track), {});
  EXPECT_EQ(std::count(sentences.begin(), sentences.end(), '\n'), 2) << sentences;
  EXPECT_EQ(sentences.find("inf"), std::string::npos) << sentences;
}

TEST_F(BadInput, MissingFileNamesTheSystemError) {
  for (const Command& c : kCommands) {
    std::vector<std::string> args = c.args;
    for (std::string& a : args) {
      if (a == "-") a = dir_ + "/none";
      if (a == "OUT") a = dir_ + "/none.out";
    }
    const ProgramResult r = RunCtl(args, dir_ + "/run");
    EXPECT_EQ(r.status, 65) << c.name;
    EXPECT_NE((r.out + r.err).find("No such file or directory"), std::string::npos)
        << c.name << ": " << r.out << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir_ + "/none.out")) << c.name;
  }
}

TEST_F(BadInput, UnreadableFileAndReadOnlyFolderAsAnUnprivilegedUser) {
  if (::access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "setpriv is not installed";
  const std::string unreadable = Write("secret.bin", BinaryList(2), 0600);
  const ProgramResult denied =
      RunCtl({"export-binary-list", unreadable, dir_ + "/x.csv"}, dir_ + "/run", true);
  if (denied.status == 127) GTEST_SKIP() << "setpriv cannot change user here: " << denied.err;
  EXPECT_EQ(denied.status, 65) << denied.err;
  EXPECT_NE((denied.out + denied.err).find("Permission denied"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/x.csv"));

  std::filesystem::create_directory(dir_ + "/ro");
  ::chmod((dir_ + "/ro").c_str(), 0555);
  const std::string readable = Write("list.bin", BinaryList(2), 0644);
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"export-binary-list", readable, dir_ + "/ro/out.csv"},
           {"convert-mobile", Write("m.txt", "121.5,25.0,0\r\n"), dir_ + "/ro/out.csv"},
           {"build-image", Write("c.csv", kCameraHeader + Repeat("25.0,121.5,90,60,1\r\n", 3)),
            dir_ + "/ro/out.csv"}}) {
    const ProgramResult r = RunCtl(args, dir_ + "/run", true);
    EXPECT_EQ(r.status, 74) << args[0] << r.out << r.err;
    EXPECT_NE((r.out + r.err).find("Permission denied"), std::string::npos) << args[0];
    EXPECT_FALSE(std::filesystem::exists(dir_ + "/ro/out.csv")) << args[0];
  }
}

TEST_F(BadInput, FullDiskLeavesNoHalfWrittenExport) {
  // 2000 cameras make about 70 KB of CSV; the limit stops the write at 4 KB.
  const std::string list = Write("big.bin", BinaryList(2000));
  const std::string out = dir_ + "/export.csv";
  const ProgramResult r = RunCtl({"export-binary-list", list, out}, dir_ + "/run", false, 4096);
  EXPECT_EQ(r.status, 74) << r.out << r.err;
  EXPECT_NE((r.out + r.err).find("File too large"), std::string::npos) << r.out << r.err;
  EXPECT_FALSE(std::filesystem::exists(out)) << "a cut export under the final name";
  EXPECT_FALSE(test::PartFileLeft(out)) << "the cut export left behind";
  // Without the limit the same export is whole.
  const ProgramResult whole = RunCtl({"export-binary-list", list, out}, dir_ + "/run");
  EXPECT_EQ(whole.status, 0) << whole.err;
  EXPECT_GT(std::filesystem::file_size(out), 4096u);
}

TEST_F(BadInput, FullDiskLeavesNoHalfWrittenImage) {
  // 3000 cameras make an image of about 48 KB; the limit stops it at 4 KB.
  std::string cameras = kCameraHeader;
  for (int i = 0; i < 3000; ++i) {
    cameras += std::to_string(43.60 + i * 0.0001) + "," + std::to_string(-79.40 + i * 0.0001) +
               ",90,60,1\r\n";
  }
  const std::string list = Write("cameras.csv", cameras);
  const std::string out = dir_ + "/image.bin";
  const ProgramResult r = RunCtl({"build-image", list, out}, dir_ + "/run", false, 4096);
  EXPECT_EQ(r.status, 74) << r.out << r.err;
  EXPECT_FALSE(std::filesystem::exists(out)) << "a cut image under the final name";
  EXPECT_FALSE(test::PartFileLeft(out)) << "the cut image left behind";
  const ProgramResult whole = RunCtl({"build-image", list, out}, dir_ + "/run");
  EXPECT_EQ(whole.status, 0) << whole.err;
  EXPECT_GT(std::filesystem::file_size(out), 4096u);
}

}  // namespace
}  // namespace tessor
