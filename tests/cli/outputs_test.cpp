// Where tessorctl's files land: through a link to the file it names, into a
// pipe or a device in place, whole or not at all, with the usual mode, and
// never over a file of the user's that happens to carry a temporary name.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "../database/test_files.h"
#include "run_program.h"

namespace tessor {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

const std::string kPoiHeader = "Latitude,Longitude,direction,vmax,Type,Comments\r\n";

class TessorctlOutputs : public ::testing::Test {
 protected:
  void SetUp() override { WriteFile(folder_.File("POI.csv"), kPoiHeader + "1,2,0,0,0,x\r\n"); }

  test::ProgramResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), TESSORCTL);
    return test::RunProgram(args, folder_.File("run"));
  }

  test::ProgramResult MapPage(const std::string& out) {
    return Run({"map-page", "--poi", "43.6,-79.4", "--coverage", "-80,43,-79,44", out});
  }

  size_t Entries() const {
    return static_cast<size_t>(
        std::distance(fs::directory_iterator(folder_.path() + "/saved"), fs::directory_iterator()));
  }

  TempFolder folder_;
};

TEST_F(TessorctlOutputs, SaveThroughALinkReplacesItsTargetAndKeepsTheLink) {
  fs::create_directory(folder_.File("saved"));
  WriteFile(folder_.File("saved/target.csv"), "old");
  fs::create_symlink("saved/target.csv", folder_.File("link.csv"));
  // A link to a device: the device is written, the link stays.
  fs::create_symlink("/dev/null", folder_.File("null.csv"));
  const auto r = Run({"poi-check", folder_.File("POI.csv"), "--coverage", "0,0,3,3", "--save",
                      folder_.File("link.csv"), "--save-all", folder_.File("null.csv")});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_TRUE(fs::is_symlink(folder_.File("link.csv")));
  EXPECT_TRUE(fs::is_symlink(folder_.File("null.csv")));
  EXPECT_EQ(ReadFile(folder_.File("saved/target.csv")),
            kPoiHeader + "1.000000,2.000000,0,0.000000,0,x\r\n");
  EXPECT_EQ(Entries(), 1u) << "the temporary file was renamed beside the target";

  // A link that points nowhere yet gets its file.
  fs::create_symlink("saved/new.csv", folder_.File("dangling.csv"));
  EXPECT_EQ(Run({"poi-check", folder_.File("POI.csv"), "--save-all", folder_.File("dangling.csv")})
                .status,
            0);
  EXPECT_TRUE(fs::is_symlink(folder_.File("dangling.csv")));
  EXPECT_TRUE(fs::is_regular_file(folder_.File("saved/new.csv")));
}

TEST_F(TessorctlOutputs, SaveIntoAFifoWritesItInPlace) {
  const std::string fifo = folder_.File("pipe.csv");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // The reader is there first, so the writer's open does not wait.
  const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  const auto r = Run({"poi-check", folder_.File("POI.csv"), "--save-all", fifo});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::is_fifo(fifo));
  char buffer[256] = {};
  const ssize_t n = read(reader, buffer, sizeof buffer);
  close(reader);
  EXPECT_EQ(std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0),
            kPoiHeader + "1.000000,2.000000,0,0.000000,0,x\r\n");
}

// A file size limit cuts a write half-way, as a full disk would.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previous_ = signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved_;
    small.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &small);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, previous_);
  }

 private:
  rlimit saved_{};
  sighandler_t previous_;
};

TEST_F(TessorctlOutputs, MapPageIsWholeOrKeepsThePreviousPage) {
  const mode_t saved_mask = umask(022);
  const std::string page = folder_.File("POI.html");
  WriteFile(page + ".part", "the user's own file");
  const auto first = MapPage(page);
  umask(saved_mask);
  EXPECT_EQ(first.status, 0) << first.err;
  const std::string whole = ReadFile(page);
  ASSERT_GT(whole.size(), 2000u);
  struct stat st {};
  ASSERT_EQ(stat(page.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
  EXPECT_EQ(ReadFile(page + ".part"), "the user's own file");

  test::ProgramResult cut;
  {
    FileSizeLimit limit(1000);
    cut = Run({"map-page", "--poi", "1,2", "--coverage", "0,0,3,3", page});
  }
  EXPECT_EQ(cut.status, 74) << cut.err;
  EXPECT_NE(cut.err.find(std::strerror(EFBIG)), std::string::npos) << cut.err;
  EXPECT_EQ(ReadFile(page), whole);
  size_t files = 0;
  for (const auto& entry : fs::directory_iterator(folder_.path())) {
    files += entry.path().filename().string().rfind("POI.html", 0) == 0;
  }
  EXPECT_EQ(files, 2u) << "only the page and the user's .part file";
}

TEST_F(TessorctlOutputs, MapPageThroughALinkReplacesItsTargetWhole) {
  fs::create_directory(folder_.File("saved"));
  fs::create_symlink("saved/page.html", folder_.File("link.html"));
  const auto r = MapPage(folder_.File("link.html"));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::is_symlink(folder_.File("link.html")));
  const std::string page = ReadFile(folder_.File("saved/page.html"));
  EXPECT_NE(page.find("43.6"), std::string::npos);

  test::ProgramResult cut;
  {
    FileSizeLimit limit(1000);
    cut = Run({"map-page", "--poi", "1,2", "--coverage", "0,0,3,3", folder_.File("link.html")});
  }
  EXPECT_EQ(cut.status, 74);
  EXPECT_EQ(ReadFile(folder_.File("saved/page.html")), page) << "the target was cut";
  EXPECT_EQ(Entries(), 1u);
}

}  // namespace
}  // namespace tessor
