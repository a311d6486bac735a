// A track note is believed only while it and the file it describes are
// intact: anything else sends the track back to its start.
#include "logger/track_resume.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace tessor {
namespace {

class TrackNotes : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tessor-note-XXXXXX";
    folder_ = ::mkdtemp(pattern);
    file_ = folder_ + "/00003_240315.nmea";
    header_.valid = 1;
    header_.header_value = 240315;
    header_.record_format = 1;
    header_.record_count = 10;
    header_.start_address = 4096;
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  TrackNote NoteOf(const TrackHeaderRecord& h) const {
    TrackNote n;
    n.date = h.header_value;
    n.format = h.record_format;
    n.record_count = h.record_count;
    n.start_address = h.start_address;
    return n;
  }

  void Write(const std::string& path, const std::string& text) const {
    std::ofstream(path, std::ios::binary) << text;
  }
  std::string Read(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  // A complete note of the file as it now is.
  void NoteWholeFile(const std::string& text) {
    Write(file_, text);
    TrackNote n = NoteOf(header_);
    n.complete = true;
    n.file_size = text.size();
    n.file_check = Fnv1a({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
    ASSERT_TRUE(WriteTrackNote(file_, n));
  }

  std::string folder_, file_;
  TrackHeaderRecord header_;
};

TEST_F(TrackNotes, NoteIsHiddenBesideItsFileAndReadsBackAsWritten) {
  EXPECT_EQ(TrackNotePath(file_), folder_ + "/.00003_240315.nmea.note");
  EXPECT_EQ(TrackNotePath("a.nmea"), ".a.nmea.note");
  TrackNote n = NoteOf(header_);
  for (int i = 0; i < 48; ++i) n.records.push_back(static_cast<uint8_t>(i * 7));
  n.records[5] = '\n';  // the records are bytes, not text
  ASSERT_TRUE(WriteTrackNote(file_, n));
  TrackNote back;
  ASSERT_TRUE(ReadTrackNote(file_, &back));
  EXPECT_TRUE(back.SameTrack(header_));
  EXPECT_FALSE(back.complete);
  EXPECT_EQ(back.records, n.records);
  // Only the note is left: no part file of its write.
  int entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(folder_)) entries += !e.is_directory();
  EXPECT_EQ(entries, 1);
  RemoveTrackNote(file_);
  EXPECT_FALSE(ReadTrackNote(file_, &back));
}

TEST_F(TrackNotes, DamagedNotesAreNotBelieved) {
  TrackNote n = NoteOf(header_);
  n.records.assign(32, 0xA5);
  ASSERT_TRUE(WriteTrackNote(file_, n));
  const std::string note = Read(TrackNotePath(file_));
  TrackNote back;
  const struct {
    const char* what;
    std::string text;
  } cases[] = {
      {"cut in the records", note.substr(0, note.size() - 1)},
      {"a record byte changed", note.substr(0, note.size() - 1) + "\x5A"},
      {"a byte too many", note + "x"},
      {"cut in the header", note.substr(0, 30)},
      {"another kind of file", "$GPGGA,1\r\n"},
      {"empty", ""},
  };
  for (const auto& c : cases) {
    Write(TrackNotePath(file_), c.text);
    EXPECT_FALSE(ReadTrackNote(file_, &back)) << c.what;
  }
  std::string huge = note;
  const size_t at = huge.find("records ");
  huge.replace(at, huge.find('\n', at) - at, "records 99999999999999999999999");
  Write(TrackNotePath(file_), huge);
  EXPECT_FALSE(ReadTrackNote(file_, &back)) << "a count past 64 bits";
}

TEST_F(TrackNotes, WholeFileIsSkippedOnlyWhileItIsTheFileNoted) {
  NoteWholeFile("$GPGGA,one\r\n$GPRMC,two\r\n");
  EXPECT_TRUE(FindResumePoint(file_, header_).complete);

  TrackHeaderRecord other = header_;
  other.record_count = 11;  // the logger now holds another track under this index
  EXPECT_FALSE(FindResumePoint(file_, other).complete);
  other = header_;
  other.start_address = 0;
  EXPECT_FALSE(FindResumePoint(file_, other).complete);

  Write(file_, "$GPGGA,one\r\n$GPRMC,twp\r\n");  // same size, another byte
  EXPECT_FALSE(FindResumePoint(file_, header_).complete);
  Write(file_, "$GPGGA,one\r\n");  // cut
  EXPECT_FALSE(FindResumePoint(file_, header_).complete);
  std::filesystem::remove(file_);
  EXPECT_FALSE(FindResumePoint(file_, header_).complete);
}

TEST_F(TrackNotes, StoppedTrackGoesOnOnlyFromWholeRecordsOfTheSameTrack) {
  TrackNote n = NoteOf(header_);
  n.records.assign(3 * 16, 0x42);  // three records of format 1
  ASSERT_TRUE(WriteTrackNote(file_, n));
  EXPECT_EQ(FindResumePoint(file_, header_).records, n.records);
  EXPECT_FALSE(FindResumePoint(file_, header_).complete);

  n.records.push_back(0x42);  // a cut record
  ASSERT_TRUE(WriteTrackNote(file_, n));
  EXPECT_TRUE(FindResumePoint(file_, header_).records.empty());

  n.records.assign(10 * 16, 0x42);  // all of them: nothing left to go on with
  ASSERT_TRUE(WriteTrackNote(file_, n));
  EXPECT_TRUE(FindResumePoint(file_, header_).records.empty());

  n.records.assign(16, 0x42);
  ASSERT_TRUE(WriteTrackNote(file_, n));
  TrackHeaderRecord other = header_;
  other.header_value = 240316;
  EXPECT_TRUE(FindResumePoint(file_, other).records.empty());
}

}  // namespace
}  // namespace tessor
