// A download cut by an unplugged cable goes on where it stopped and ends in the
// files an uninterrupted one writes; the log is erased only after every track
// came whole; an upload cut after the erase is said at the next one.
#include "logger/track_resume.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "logger/nmea_conversion.h"
#include "part_files.h"
#include "tessorctl_fixture.h"
#include "tools/devsim/track_generator.h"
#include "track_text.h"

namespace tessor {
namespace {

struct Request {
  uint32_t address = 0, count = 0;
};

class TessorctlTrackResume : public test::TessorctlFixture {
 protected:
  // Three drives of 600 records of format 2 (12000 bytes each), back to back
  // in the log.
  static devsim::Scenario ThreeTracks() {
    devsim::Scenario s;
    for (uint32_t i = 0; i < 3; ++i) {
      devsim::DrivePlan plan;
      plan.points = 600;
      plan.start_s = 8 * 3600 + i * 1800;
      devsim::TrackSource t;
      t.date = 240315 + i;
      t.format = 2;
      t.records = devsim::GenerateTrack(plan, 2);
      s.tracks.push_back(t);
    }
    return s;
  }

  static std::string Nmea(const devsim::TrackSource& t) { return test::NmeaOf(t); }
  static std::string Read(const std::string& path) { return test::ReadText(path); }

  std::string Out() {
    const std::string out = data_home_ + "/nmea";
    std::filesystem::create_directories(out);
    return out;
  }

  static std::string FileOf(const std::string& out, int index, const devsim::TrackSource& t) {
    return out + "/" + TrackFileName(index, t.date);
  }

  // The track requests the device was sent: address, record format, records.
  std::vector<Request> Requests() const {
    std::vector<Request> found;
    const std::string text = sim_->TranscriptText();
    static const std::regex request(R"(H \$PKVN102,(\d+),\d+,(\d+)\*)");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), request);
         it != std::sregex_iterator(); ++it) {
      found.push_back({static_cast<uint32_t>(std::stoul((*it)[1])),
                       static_cast<uint32_t>(std::stoul((*it)[2]))});
    }
    return found;
  }

  static std::vector<std::string> HiddenNotes(const std::string& out) {
    std::vector<std::string> notes;
    for (const auto& e : std::filesystem::directory_iterator(out)) {
      const std::string name = e.path().filename().string();
      if (name.size() > 5 && name.compare(name.size() - 5, 5, ".note") == 0) notes.push_back(name);
    }
    return notes;
  }
};

TEST_F(TessorctlTrackResume, CutDownloadGoesOnAndEndsInTheFilesOfAWholeOne) {
  const devsim::Scenario clean = ThreeTracks();
  devsim::Scenario cut = clean;
  // Far past the connect and the first track's 12000 bytes, inside the second's.
  cut.faults.vanish_after_bytes = 19000;
  StartDevice(cut);
  const std::string out = Out();
  const auto first = RunOn(slave_path_, {"download-tracks", "--out", out});
  ASSERT_TRUE(sim_->vanished());
  EXPECT_NE(first.status, 0) << first.out << first.err;
  const std::string track0 = FileOf(out, 0, clean.tracks[0]);
  const std::string track1 = FileOf(out, 1, clean.tracks[1]);
  EXPECT_EQ(Read(track0), Nmea(clean.tracks[0]));
  EXPECT_FALSE(std::filesystem::exists(track1));
  EXPECT_FALSE(test::PartFileLeft(track1));
  TrackNote note0, note1;
  ASSERT_TRUE(ReadTrackNote(track0, &note0));
  EXPECT_TRUE(note0.complete);
  const bool partial = ReadTrackNote(track1, &note1);  // how far the cable let it come

  StartDevice(clean);  // plugged in again
  const auto second = RunOn(slave_path_, {"download-tracks", "--out", out, "--resume"});
  ASSERT_EQ(second.status, 0) << second.out << second.err;
  for (int i = 0; i < 3; ++i) {
    const std::string path = FileOf(out, i, clean.tracks[i]);
    EXPECT_EQ(Read(path), Nmea(clean.tracks[i])) << path;
    EXPECT_NE(second.out.find(path + "\n"), std::string::npos) << "not listed: " << path;
  }
  const std::vector<Request> asked = Requests();
  ASSERT_FALSE(asked.empty());
  // The whole first track (addresses 0 to 12000) is not asked for again.
  for (const Request& r : asked) EXPECT_GE(r.address, 12000u) << r.address;
  if (partial && !note1.records.empty()) {
    EXPECT_EQ(asked.front().address, 12000u + note1.records.size());
  }
  // The download ended whole: the folder holds only its track files.
  EXPECT_TRUE(HiddenNotes(out).empty());
}

TEST_F(TessorctlTrackResume, StoppedTrackGoesOnAfterItsKeptRecords) {
  const devsim::Scenario s = ThreeTracks();
  StartDevice(s);
  const std::string out = Out();
  const std::string path = FileOf(out, 1, s.tracks[1]);
  TrackNote note;
  note.date = s.tracks[1].date;
  note.format = 2;
  note.record_count = 600;
  note.start_address = 12000;
  // 137 records kept: the rest starts inside what would be the first request.
  note.records.assign(s.tracks[1].records.begin(), s.tracks[1].records.begin() + 137 * 20);
  ASSERT_TRUE(WriteTrackNote(path, note));
  const auto r = RunOn(slave_path_,
                       {"download-tracks", "--out", out, "--track", "1", "--resume", "--progress"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(Read(path), Nmea(s.tracks[1]));
  const std::vector<Request> asked = Requests();
  ASSERT_FALSE(asked.empty());
  EXPECT_EQ(asked.front().address, 12000u + 137 * 20);
  uint32_t records = 0;
  for (const Request& q : asked) records += q.count;
  EXPECT_EQ(records, 600u - 137) << "records asked for twice or never";
  // The kept records count towards the progress: it ends at its total.
  EXPECT_NE(r.err.find("progress 12000/12000"), std::string::npos) << r.err;
  EXPECT_TRUE(HiddenNotes(out).empty());
}

TEST_F(TessorctlTrackResume, OnlyAFileStillAsNotedIsSkipped) {
  const devsim::Scenario s = ThreeTracks();
  StartDevice(s);
  const std::string out = Out();
  const std::string t0 = FileOf(out, 0, s.tracks[0]), t2 = FileOf(out, 2, s.tracks[2]);
  // Two tracks noted whole, and the third track's file edited since.
  for (const auto& [path, track] : {std::pair{t0, s.tracks[0]}, std::pair{t2, s.tracks[2]}}) {
    const std::string text = Nmea(track);
    std::ofstream(path, std::ios::binary) << text;
    TrackNote note;
    note.date = track.date;
    note.format = 2;
    note.record_count = 600;
    note.start_address = path == t0 ? 0 : 24000;
    note.complete = true;
    note.file_size = text.size();
    note.file_check = Fnv1a({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
    ASSERT_TRUE(WriteTrackNote(path, note));
  }
  std::ofstream(t2, std::ios::binary | std::ios::app) << "$GPGGA,edited\r\n";
  const auto r = RunOn(slave_path_, {"download-tracks", "--out", out, "--resume"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Read(FileOf(out, i, s.tracks[i])), Nmea(s.tracks[i]));
  bool asked_first = false, asked_third = false;
  for (const Request& q : Requests()) {
    asked_first = asked_first || q.address < 12000;
    asked_third = asked_third || q.address >= 24000;
  }
  EXPECT_FALSE(asked_first) << "a whole track was asked for again";
  EXPECT_TRUE(asked_third) << "an edited file was taken as whole";

  // Without --resume, a note is not believed: every track is downloaded.
  StartDevice(s);
  std::ofstream(t0, std::ios::binary) << "edited";
  const auto plain = RunOn(slave_path_, {"download-tracks", "--out", out, "--track", "0"});
  ASSERT_EQ(plain.status, 0) << plain.out << plain.err;
  EXPECT_EQ(Read(t0), Nmea(s.tracks[0]));
}

TEST_F(TessorctlTrackResume, LogIsErasedOnlyAfterEveryTrackCameWhole) {
  devsim::Scenario s = ThreeTracks();
  s.tracks.resize(2);
  s.faults.refuse_requests = {1, 2, 3};  // the first track's data never comes the first time
  StartDevice(s);
  const std::string out = Out();
  const size_t log_size = sim_->LogDump().size();
  ASSERT_GT(log_size, 0u);
  const auto lost = RunOn(slave_path_, {"download-tracks", "--out", out, "--erase-after"});
  EXPECT_NE(lost.status, 0) << lost.out << lost.err;
  EXPECT_NE(lost.err.find("track 0: part of it never came"), std::string::npos) << lost.err;
  EXPECT_EQ(lost.err.find("track 1:"), std::string::npos) << lost.err;
  EXPECT_NE(lost.err.find("the log was not erased"), std::string::npos);
  EXPECT_EQ(sim_->LogDump().size(), log_size);

  // A track file that cannot be written leaves the log alone too.
  std::filesystem::create_directory(out + "/blocked");
  std::filesystem::create_directory(FileOf(out + "/blocked", 0, s.tracks[0]));
  const auto blocked = RunOn(slave_path_, {"download-tracks", "--out", out + "/blocked", "--track",
                                           "0", "--track", "1", "--erase-after"});
  EXPECT_EQ(blocked.status, 74) << blocked.out << blocked.err;
  EXPECT_NE(blocked.err.find("track 0: its file was not written whole"), std::string::npos)
      << blocked.err;
  EXPECT_EQ(sim_->LogDump().size(), log_size);

  const auto whole = RunOn(slave_path_, {"download-tracks", "--out", out, "--track", "0", "--track",
                                         "1", "--erase-after", "--progress"});
  EXPECT_EQ(whole.status, 0) << whole.out << whole.err;
  EXPECT_EQ(Read(FileOf(out, 1, s.tracks[1])), Nmea(s.tracks[1]));
  EXPECT_NE(whole.err.find("phase erase"), std::string::npos) << whole.err;
  EXPECT_TRUE(sim_->LogDump().empty());
}

TEST_F(TessorctlTrackResume, UploadCutAfterTheEraseIsSaidAtTheNext) {
  devsim::Scenario s;
  s.capacity = 1048576;
  // Three block acknowledgements never come: the upload gives up after the erase.
  s.faults.silent.push_back({999, 3});
  StartDevice(s);
  const std::string image = WriteFile("image.bin", MakeImage(40));
  const std::string said =
      "The last upload did not finish: the device's database is erased and uploaded again from "
      "the start.\n";
  const auto cut = RunOn(slave_path_, {"upload", image});
  EXPECT_NE(cut.status, 0) << cut.out << cut.err;
  EXPECT_EQ(cut.out.find(said), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(DataFile("upload.unfinished")));

  const auto again = RunOn(slave_path_, {"upload", image});
  EXPECT_EQ(again.status, 0) << again.out << again.err;
  EXPECT_NE(again.out.find(said), std::string::npos) << again.out;
  EXPECT_LT(again.out.find(said), again.out.find("Finished uploading VELD Data.")) << again.out;
  EXPECT_EQ(sim_->DatabaseDump(), MakeImage(40));
  EXPECT_FALSE(std::filesystem::exists(DataFile("upload.unfinished")));

  const auto next = RunOn(slave_path_, {"upload", image});
  EXPECT_EQ(next.status, 0) << next.out << next.err;
  EXPECT_EQ(next.out.find(said), std::string::npos) << next.out;
}

}  // namespace
}  // namespace tessor
