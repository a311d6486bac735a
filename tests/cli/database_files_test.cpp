// The files of the database transfer: every run gets its own image, and a
// download compares only with what it was asked to compare with.
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "database/file_io.h"
#include "tessorctl_fixture.h"

namespace tessor {
namespace {

class DatabaseFiles : public test::TessorctlFixture {
 protected:
  static std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  static devsim::Scenario Holding(const std::vector<uint8_t>& image) {
    devsim::Scenario s;
    s.database = image;
    return s;
  }

  // Names in the data folder that are not one of its two image files.
  std::vector<std::string> Leftovers() const {
    std::vector<std::string> names;
    for (const auto& entry :
         std::filesystem::directory_iterator(data_home_ + "/Varnelco/Tessor Series")) {
      const std::string name = entry.path().filename();
      if (name != "DLDB.bin" && name != "ULDB.bin") names.push_back(name);
    }
    return names;
  }
};

// Two devices read back at the same time: each run's file holds its own
// device's image, whatever the other run left in DLDB.bin.
TEST_F(DatabaseFiles, TwoDownloadsAtOnceKeepTheirOwnImages) {
  const std::vector<uint8_t> first = MakeImage(30, 0x10), second = MakeImage(45, 0x70);
  StartDevice(Holding(first));
  auto ends = devsim::OpenSimulatorPty();
  ASSERT_TRUE(ends.has_value());
  devsim::Simulator other(ends->master, Holding(second), devsim::SimulatorOptions{});
  other.Start();
  test::ProgramResult a, b;
  std::thread run_a([&] { a = RunOn(slave_path_, {"download-db", data_home_ + "/a.bin"}, "a"); });
  std::thread run_b([&] {
    b = RunOn(ends->slave_path, {"download-db", data_home_ + "/b.bin"}, "b");
  });
  run_a.join();
  run_b.join();
  other.Stop();
  EXPECT_EQ(a.status, 0) << a.out << a.err;
  EXPECT_EQ(b.status, 0) << b.out << b.err;
  EXPECT_EQ(ReadText(data_home_ + "/a.bin"), std::string(first.begin(), first.end()));
  EXPECT_EQ(ReadText(data_home_ + "/b.bin"), std::string(second.begin(), second.end()));
  EXPECT_TRUE(Leftovers().empty());
}

// The run's file is the image read, not what DLDB.bin holds afterwards: here
// DLDB.bin is a link to a device that keeps nothing.
TEST_F(DatabaseFiles, DownloadWritesTheImageItReadNotDldbBin) {
  const std::vector<uint8_t> image = MakeImage(12);
  StartDevice(Holding(image));
  std::filesystem::create_directories(data_home_ + "/Varnelco/Tessor Series");
  std::filesystem::create_symlink("/dev/null", DataFile("DLDB.bin"));
  const auto r = RunOn(slave_path_, {"download-db", data_home_ + "/back.bin"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(ReadText(data_home_ + "/back.bin"), std::string(image.begin(), image.end()));
}

// A stale ULDB.bin from an earlier upload is no part of a download that was
// asked for no comparison; with --compare, the named file alone counts.
TEST_F(DatabaseFiles, DownloadComparesOnlyWithTheFileNamed) {
  const std::vector<uint8_t> image = MakeImage(12);
  StartDevice(Holding(image));
  WriteFile("Varnelco/Tessor Series/ULDB.bin", MakeImage(3));
  const auto plain = RunOn(slave_path_, {"download-db", data_home_ + "/back.bin"});
  EXPECT_EQ(plain.status, 0) << plain.out << plain.err;
  const std::string said = plain.out + plain.err;
  EXPECT_EQ(said.find("identical"), std::string::npos) << said;
  EXPECT_EQ(said.find("Identical"), std::string::npos) << said;
  const auto compared = RunOn(slave_path_, {"download-db", data_home_ + "/back.bin", "--compare",
                                            WriteFile("image.bin", image)});
  EXPECT_EQ(compared.status, 0) << compared.out << compared.err;
  EXPECT_EQ(compared.out.find("not identical"), std::string::npos) << compared.out;
  EXPECT_NE(compared.out.find("They are Identical !!"), std::string::npos) << compared.out;
}

// Writers of one name at the same time each write a whole file under a name
// of their own: every write succeeds, the file is one of them whole, and no
// part file stays behind.
TEST_F(DatabaseFiles, ConcurrentWritersOfOneFileNeverMix) {
  const std::string path = data_home_ + "/shared.bin";
  const std::string x(100000, 'x'), y(60000, 'y');
  std::atomic<int> failed{0};
  auto writer = [&](const std::string& text) {
    for (int i = 0; i < 50; ++i)
      if (!WriteFileWhole(path, text)) ++failed;
  };
  std::thread one(writer, x), two(writer, y);
  one.join();
  two.join();
  EXPECT_EQ(failed.load(), 0);
  const std::string now = ReadText(path);
  EXPECT_TRUE(now == x || now == y) << now.size();
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(data_home_),
                          std::filesystem::directory_iterator()),
            1);
}

// A descriptor's link under /proc names a file no path reaches (here one that
// was deleted while open): the write goes through the link into that file,
// never into a new file named after the link's text.
TEST_F(DatabaseFiles, ADescriptorsLinkIsWrittenThroughNotReplaced) {
  const std::string path = data_home_ + "/open.bin";
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(fd, 0);
  ::unlink(path.c_str());
  const std::string link = "/proc/self/fd/" + std::to_string(fd);
  EXPECT_TRUE(WriteFileWhole(link, "exported")) << std::strerror(errno);
  char back[16] = {};
  EXPECT_EQ(::pread(fd, back, sizeof back, 0), 8);
  EXPECT_STREQ(back, "exported");
  ::close(fd);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(data_home_),
                          std::filesystem::directory_iterator()),
            0)
      << "nothing was created beside the deleted file";
}

}  // namespace
}  // namespace tessor
