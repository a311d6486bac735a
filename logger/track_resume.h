#pragma once
// Notes that let a stopped track download go on where it stopped.
//
// While a folder's download is unfinished, each track file has a hidden note
// beside it (".NAME.nmea.note"): the track's header, and either the size and
// check value of the whole file, or the raw records received before the stop.
// A download that ends whole removes its tracks' notes, so a finished folder
// holds only the track files.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/engine_fields.h"

namespace tessor {

// 64-bit FNV-1a, continued from `seed`.
constexpr uint64_t kFnvOffset = 14695981039346656037ull;
uint64_t Fnv1a(std::span<const uint8_t> bytes, uint64_t seed = kFnvOffset);

struct TrackNote {
  uint32_t date = 0;  // the header's YYMMDD
  uint32_t format = 0;
  uint32_t record_count = 0;
  uint32_t start_address = 0;
  bool complete = false;
  // A complete track: its file's size and check value.
  uint64_t file_size = 0;
  uint64_t file_check = 0;
  // A stopped track: the whole records received so far, in order.
  std::vector<uint8_t> records;

  bool SameTrack(const TrackHeaderRecord& h) const;
};

// ".NAME.note" beside the track file NAME.
std::string TrackNotePath(const std::string& track_file);

// Written under a part name and renamed into place; false with errno set.
bool WriteTrackNote(const std::string& track_file, const TrackNote& note);
// False when there is no note or it is damaged.
bool ReadTrackNote(const std::string& track_file, TrackNote* note);
void RemoveTrackNote(const std::string& track_file);

// Whether the file now holds exactly `size` bytes with the check value.
bool FileHasCheck(const std::string& path, uint64_t size, uint64_t check);

// Where a track's download starts over a folder left by an earlier one.
struct ResumePoint {
  bool complete = false;         // the file is whole: nothing to ask for
  std::vector<uint8_t> records;  // kept records to convert before the rest
};
// Only a note of the same track counts, and a complete one only while the
// file is still the one it describes; anything else starts from the beginning.
ResumePoint FindResumePoint(const std::string& track_file, const TrackHeaderRecord& h);

// "NNNNN_YYMMDD.nmea" of track `index`.
std::string TrackFileName(int index, uint32_t date);

}  // namespace tessor
