#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <utility>
#include <vector>

class QSettings;

namespace tessor {

// The values kept between runs, as the main window holds them. One-byte values
// are stored as 1-byte byte arrays, 8-bit texts as byte arrays and wide texts as
// strings, so that the three kinds stay apart in the store.
struct PersistentSettings {
  uint8_t log_type = 0;
  uint8_t full_option = 0;
  uint8_t data_type = 0;
  uint8_t interval = 15;
  uint8_t com_port = 0;
  uint8_t logger_id = 0;
  uint8_t if_proxy_used = 0;
  QByteArray nmea_path;  // 8-bit text, at most 259 bytes
  QString tool_file;
  QString proxy_address;
  QString proxy_port;
};

inline constexpr int kNmeaPathLimit = 259;
inline constexpr int kProxyTextLimit = 99;
inline constexpr int kToolFileLimit = 259;

// Reads every value; a missing or unfitting value takes its default.
PersistentSettings LoadSettings(const QSettings& store);

// The values SaveSettings writes, in the order it writes them.
std::vector<std::pair<QString, QVariant>> SettingsWrites(const PersistentSettings& settings);

// Writes every value back; nothing when the store cannot be written.
void SaveSettings(QSettings& store, const PersistentSettings& settings);

// Written at each connection, in the one-byte form.
void WriteComPort(QSettings& store, uint8_t port);

// Whether the main window also shows the pages it keeps; off unless chosen.
// Written at once when the user changes it, in the one-byte form.
bool ReadShowAllPages(const QSettings& store);
void WriteShowAllPages(QSettings& store, bool show);

// Whether each connection records the serial line into a trace; off unless
// chosen. Written at once when the user changes it, in the one-byte form.
bool ReadRecordLine(const QSettings& store);
void WriteRecordLine(QSettings& store, bool on);

// The formats each track download also writes beside its NMEA files, as
// bits: none unless chosen. Written at once when the user changes them, in
// the one-byte form.
inline constexpr uint8_t kTrackExportGpx = 1;
inline constexpr uint8_t kTrackExportKml = 2;
uint8_t ReadTrackExports(const QSettings& store);
void WriteTrackExports(QSettings& store, uint8_t formats);

// Whether a track download that ended whole erases the log; off unless
// chosen. Written at once when the user changes it, in the one-byte form.
bool ReadEraseAfterDownload(const QSettings& store);
void WriteEraseAfterDownload(QSettings& store, bool on);

// The main window's size and position as the toolkit saves them; empty when
// none was kept. Written when the window goes.
QByteArray ReadWindowGeometry(const QSettings& store);
void WriteWindowGeometry(QSettings& store, const QByteArray& geometry);

// Cuts 8-bit text to a byte limit without splitting a character.
QByteArray CutUtf8(const QByteArray& text, int limit);

}  // namespace tessor
