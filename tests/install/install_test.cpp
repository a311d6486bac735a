// The installed programs: `cmake --install` into a temporary DESTDIR, then
// the copies there run from a folder outside the source and build trees, with
// an environment of their own.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "run_program.h"
#include "running_program.h"
#include "ui/program_files.h"

namespace tessor {
namespace {

namespace fs = std::filesystem;
using test::ProgramResult;
using test::RunningProgram;

// ASan builds on a loaded machine start slowly.
constexpr std::chrono::milliseconds kWait(120000);

template <typename Condition>
bool Eventually(Condition condition) {
  const auto deadline = std::chrono::steady_clock::now() + kWait;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

class Installed : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    scratch_ =
        new fs::path(fs::temp_directory_path() / ("tessor-install-" + std::to_string(getpid())));
    fs::remove_all(*scratch_);
    fs::create_directories(*scratch_);
    root_ = new fs::path(*scratch_ / "root");
    ::setenv("DESTDIR", root_->c_str(), 1);
    install_ = new ProgramResult(test::RunProgram(
        {TESSOR_CMAKE, "--install", TESSOR_BUILD_DIR, "--prefix", "/usr"}, Scratch("install")));
    ::unsetenv("DESTDIR");
    // Nothing of the user's or the checkout's: a home, folders and a working
    // directory of the test's own, and only the system's programs on PATH.
    for (const char* dir : {"home", "config", "data", "run", "tmp", "work"})
      fs::create_directories(*scratch_ / dir);
    ::setenv("HOME", Scratch("home").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", Scratch("config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", Scratch("data").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", Scratch("run").c_str(), 1);
    ::setenv("TMPDIR", Scratch("tmp").c_str(), 1);
    ::setenv("PATH", "/usr/bin:/bin", 1);
    ::setenv("TESSOR_TIMING_SCALE", "0.5", 1);
    fs::current_path(*scratch_ / "work");
  }
  static void TearDownTestSuite() {
    fs::current_path("/");
    fs::remove_all(*scratch_);
    delete install_;
    delete root_;
    delete scratch_;
  }
  void SetUp() override { ASSERT_EQ(install_->status, 0) << install_->out << install_->err; }

  static std::string Scratch(const std::string& name) { return (*scratch_ / name).string(); }
  static std::string Usr(const std::string& path) { return (*root_ / "usr" / path).string(); }
  static ProgramResult Run(std::vector<std::string> args) {
    args[0] = Usr("bin/" + args[0]);
    return test::RunProgram(args, Scratch("run-out"));
  }

  static fs::path* scratch_;
  static fs::path* root_;
  static ProgramResult* install_;
};

fs::path* Installed::scratch_ = nullptr;
fs::path* Installed::root_ = nullptr;
ProgramResult* Installed::install_ = nullptr;

TEST_F(Installed, PutsEveryFileInItsPlace) {
  for (const char* path :
       {"bin/tessor", "bin/tessorctl", "bin/tessor-devsim", "share/tessor/map/tessor-map.js",
        "share/tessor/map/marker.png", "share/tessor/map/marker-print.png",
        "share/tessor/sample/demo-device.json", "share/tessor/sample/toronto-red-light-cameras.csv",
        "share/applications/com.varnelco.tessor.desktop",
        "share/metainfo/com.varnelco.tessor.metainfo.xml",
        "share/icons/hicolor/scalable/apps/tessor.svg", "share/icons/hicolor/64x64/apps/tessor.png",
        "share/man/man1/tessor.1.gz", "share/man/man1/tessorctl.1.gz",
        "share/man/man1/tessor-devsim.1.gz", "share/bash-completion/completions/tessorctl",
        "share/doc/tessor/copyright", "share/doc/tessor/changelog.gz",
        "share/doc/tessor/README.Debian"}) {
    EXPECT_TRUE(fs::is_regular_file(Usr(path))) << path;
  }
}

// The POI page's map comes from the installed copy beside the program, not
// from the folder the build was configured for or the source tree.
TEST_F(Installed, DesktopProgramFindsTheMapBesideItself) {
  const MapAddresses addresses = MapAddressesBeside(QString::fromStdString(Usr("bin")));
  const std::string folder = "file://" + Usr("share/tessor/map");
  EXPECT_EQ(addresses.marker_image, folder + "/marker.png");
  EXPECT_EQ(addresses.script.rfind(folder + "/tessor-map.js?", 0), 0u) << addresses.script;
}

TEST_F(Installed, ToolsUploadAndReadBackAgainstTheSimulator) {
  RunningProgram devsim({Usr("bin/tessor-devsim"), "--no-pace", "--link", Scratch("work/port")},
                        Scratch("devsim"));
  ASSERT_TRUE(devsim.started());
  ASSERT_TRUE(Eventually([&] { return devsim.out().find('\n') != std::string::npos; }))
      << devsim.err();
  const std::string port = devsim.out().substr(0, devsim.out().find('\n'));

  const auto info = Run({"tessorctl", "info", "--port", port});
  EXPECT_EQ(info.status, 0) << info.out << info.err;
  EXPECT_NE(info.out.find("firmware\t209\n"), std::string::npos) << info.out;

  const auto built = Run({"tessorctl", "build-image",
                          Usr("share/tessor/sample/toronto-red-light-cameras.csv"), "veld.bin"});
  ASSERT_EQ(built.status, 0) << built.out << built.err;
  const auto upload = Run({"tessorctl", "upload", "--port", port, "veld.bin"});
  EXPECT_EQ(upload.status, 0) << upload.out << upload.err;
  const auto back =
      Run({"tessorctl", "download-db", "--port", port, "back.bin", "--compare", "veld.bin"});
  EXPECT_EQ(back.status, 0) << back.out << back.err;
  EXPECT_NE(back.out.find("They are Identical !!"), std::string::npos) << back.out;

  devsim.Signal(SIGTERM);
  EXPECT_EQ(devsim.WaitExit(kWait), 0) << devsim.err();
}

// The desktop program starts offscreen, runs its window, and ends on SIGTERM
// as on Close: with status 0 and its settings saved.
TEST_F(Installed, DesktopProgramComesUpOffscreenAndQuitsOnSigterm) {
  const auto version = Run({"tessor", "--version"});
  EXPECT_EQ(version.status, 0) << version.err;
  EXPECT_EQ(version.out, std::string("tessor ") + TESSOR_VERSION + "\n");

  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  RunningProgram tessor({Usr("bin/tessor")}, Scratch("tessor"));
  ::unsetenv("QT_QPA_PLATFORM");
  ASSERT_TRUE(tessor.started());
  // The window's first-instance socket: it listens once the program is up.
  const auto listening = [] {
    for (const auto& entry : fs::directory_iterator(Scratch("tmp")))
      if (entry.path().filename().string().rfind("tessor-", 0) == 0) return true;
    return false;
  };
  ASSERT_TRUE(Eventually(listening)) << tessor.err();
  tessor.Signal(SIGTERM);
  EXPECT_EQ(tessor.WaitExit(kWait), 0) << tessor.err();
  EXPECT_TRUE(fs::is_regular_file(Scratch("config/Varnelco/Tessor Series.conf")));
}

}  // namespace
}  // namespace tessor
