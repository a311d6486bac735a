#include "logger/track_resume.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "database/file_io.h"

namespace tessor {

namespace {

constexpr char kMagic[] = "tessor track note 1\n";
// No logger holds more: a note claiming more records is damaged.
constexpr uint64_t kMostRecordBytes = uint64_t{1} << 28;

// Reads "NAME VALUE\n" at *pos; the C library's number reading needs no locale.
bool Field(const std::string& text, size_t* pos, const char* name, uint64_t* value) {
  const size_t len = std::strlen(name);
  if (text.compare(*pos, len, name) != 0 || text.size() <= *pos + len || text[*pos + len] != ' ') {
    return false;
  }
  const size_t end = text.find('\n', *pos);
  if (end == std::string::npos) return false;
  uint64_t v = 0;
  size_t i = *pos + len + 1;
  if (i == end) return false;
  for (; i < end; ++i) {
    const char c = text[i];
    if (c < '0' || c > '9' || v > (UINT64_MAX - 9) / 10) return false;
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  *value = v;
  *pos = end + 1;
  return true;
}

bool Field32(const std::string& text, size_t* pos, const char* name, uint32_t* value) {
  uint64_t v = 0;
  if (!Field(text, pos, name, &v) || v > UINT32_MAX) return false;
  *value = static_cast<uint32_t>(v);
  return true;
}

void Append(std::string* text, const char* name, uint64_t value) {
  char line[64];
  std::snprintf(line, sizeof line, "%s %" PRIu64 "\n", name, value);
  text->append(line);
}

std::span<const uint8_t> Bytes(const std::string& s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

}  // namespace

uint64_t Fnv1a(std::span<const uint8_t> bytes, uint64_t seed) {
  uint64_t h = seed;
  for (const uint8_t b : bytes) {
    h ^= b;
    h *= 1099511628211ull;
  }
  return h;
}

bool TrackNote::SameTrack(const TrackHeaderRecord& h) const {
  return date == h.header_value && format == h.record_format && record_count == h.record_count &&
         start_address == h.start_address;
}

std::string TrackNotePath(const std::string& track_file) {
  const size_t slash = track_file.rfind('/');
  const size_t name = slash == std::string::npos ? 0 : slash + 1;
  return track_file.substr(0, name) + "." + track_file.substr(name) + ".note";
}

bool WriteTrackNote(const std::string& track_file, const TrackNote& note) {
  std::string text = kMagic;
  Append(&text, "date", note.date);
  Append(&text, "format", note.format);
  Append(&text, "count", note.record_count);
  Append(&text, "start", note.start_address);
  Append(&text, "complete", note.complete ? 1 : 0);
  Append(&text, "size", note.file_size);
  Append(&text, "check", note.file_check);
  Append(&text, "records", note.records.size());
  Append(&text, "records-check", Fnv1a(note.records));
  text.append(note.records.begin(), note.records.end());
  return WriteFileWhole(TrackNotePath(track_file), text);
}

bool ReadTrackNote(const std::string& track_file, TrackNote* note) {
  std::string text;
  if (!ReadFileWhole(TrackNotePath(track_file), &text)) return false;
  if (text.compare(0, sizeof kMagic - 1, kMagic) != 0) return false;
  size_t pos = sizeof kMagic - 1;
  TrackNote n;
  uint32_t complete = 0;
  uint64_t records = 0, records_check = 0;
  if (!Field32(text, &pos, "date", &n.date) || !Field32(text, &pos, "format", &n.format) ||
      !Field32(text, &pos, "count", &n.record_count) ||
      !Field32(text, &pos, "start", &n.start_address) ||
      !Field32(text, &pos, "complete", &complete) || complete > 1 ||
      !Field(text, &pos, "size", &n.file_size) || !Field(text, &pos, "check", &n.file_check) ||
      !Field(text, &pos, "records", &records) ||
      !Field(text, &pos, "records-check", &records_check)) {
    return false;
  }
  if (records > kMostRecordBytes || text.size() - pos != records) return false;
  const auto* begin = reinterpret_cast<const uint8_t*>(text.data()) + pos;
  n.records.assign(begin, begin + records);
  if (Fnv1a(n.records) != records_check) return false;
  n.complete = complete == 1;
  *note = std::move(n);
  return true;
}

void RemoveTrackNote(const std::string& track_file) {
  std::remove(TrackNotePath(track_file).c_str());
}

bool FileHasCheck(const std::string& path, uint64_t size, uint64_t check) {
  std::string bytes;
  return ReadFileWhole(path, &bytes) && bytes.size() == size && Fnv1a(Bytes(bytes)) == check;
}

ResumePoint FindResumePoint(const std::string& track_file, const TrackHeaderRecord& h) {
  ResumePoint point;
  TrackNote note;
  if (!ReadTrackNote(track_file, &note) || !note.SameTrack(h)) return point;
  if (note.complete) {
    point.complete = FileHasCheck(track_file, note.file_size, note.file_check);
    return point;
  }
  const uint64_t record_size = RecordSize(h.record_format);
  const uint64_t total = uint64_t{h.record_count} * record_size;
  // Only whole records of this track, fewer than all of them, can be continued.
  if (record_size != 0 && note.records.size() % record_size == 0 && note.records.size() < total) {
    point.records = std::move(note.records);
  }
  return point;
}

std::string TrackFileName(int index, uint32_t date) {
  char name[64];
  std::snprintf(name, sizeof name, "%05d_%ld.nmea", index, static_cast<long>(date));
  return name;
}

}  // namespace tessor
