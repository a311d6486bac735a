#include "app/settings_store.h"

#include <QSettings>

namespace tessor {

namespace {

uint8_t ReadByte(const QSettings& store, const char* name, uint8_t fallback) {
  const QVariant value = store.value(name);
  if (value.typeId() != QMetaType::QByteArray) return fallback;
  const QByteArray bytes = value.toByteArray();
  // A value of another size does not fit the one-byte limit.
  return bytes.size() == 1 ? static_cast<uint8_t>(bytes[0]) : fallback;
}

// 8-bit text; a value longer than the buffer fails and reads as empty.
QByteArray ReadNarrow(const QSettings& store, const char* name, int limit) {
  QByteArray bytes = store.value(name).toByteArray();
  if (bytes.size() > limit) return {};
  const qsizetype end = bytes.indexOf('\0');
  return end < 0 ? bytes : bytes.left(end);
}

// Wide text read with a byte limit that includes the terminator.
QString ReadWide(const QSettings& store, const char* name, int byte_limit) {
  const QVariant value = store.value(name);
  QString text = value.typeId() == QMetaType::QByteArray ? QString::fromUtf8(value.toByteArray())
                                                         : value.toString();
  if ((text.size() + 1) * 2 > byte_limit) return {};
  const qsizetype end = text.indexOf(QChar(0));
  return end < 0 ? text : text.left(end);
}

QByteArray OneByte(uint8_t value) {
  return QByteArray(1, static_cast<char>(value));
}

}  // namespace

QByteArray CutUtf8(const QByteArray& text, int limit) {
  if (text.size() <= limit) return text;
  int end = limit;
  // Step back over continuation bytes to the start of the cut character.
  while (end > 0 && (static_cast<uint8_t>(text[end]) & 0xC0) == 0x80) --end;
  return text.left(end);
}

PersistentSettings LoadSettings(const QSettings& store) {
  PersistentSettings s;
  s.log_type = ReadByte(store, "Log Type", 0);
  s.full_option = ReadByte(store, "Full Option", 0);
  s.data_type = ReadByte(store, "Data Type", 0);
  s.interval = ReadByte(store, "Interval", 15);
  s.com_port = ReadByte(store, "COM Port", 0);
  s.logger_id = ReadByte(store, "Logger ID", 0);
  s.if_proxy_used = ReadByte(store, "If Proxy Used", 0);
  s.nmea_path = ReadNarrow(store, "NMEA Path", kNmeaPathLimit);
  s.tool_file = ReadWide(store, "Tool File", 520);
  s.proxy_address = ReadWide(store, "Proxy Address", 256);
  s.proxy_port = ReadWide(store, "Proxy Port", 256);
  return s;
}

std::vector<std::pair<QString, QVariant>> SettingsWrites(const PersistentSettings& s) {
  std::vector<std::pair<QString, QVariant>> writes = {
      {"Log Type", OneByte(s.log_type)},
      {"Full Option", OneByte(s.full_option)},
      {"Data Type", OneByte(s.data_type)},
      {"Interval", OneByte(s.interval)},
      {"COM Port", OneByte(s.com_port)},
      {"If Proxy Used", OneByte(s.if_proxy_used)},
      {"NMEA Path", CutUtf8(s.nmea_path, kNmeaPathLimit)},
      {"Proxy Address", CutUtf8(s.proxy_address.toUtf8(), kProxyTextLimit)},
      {"Proxy Port", CutUtf8(s.proxy_port.toUtf8(), kProxyTextLimit)},
  };
  // An empty tool file is not written, so one stored earlier stays.
  if (!s.tool_file.isEmpty()) writes.emplace_back("Tool File", s.tool_file.left(kToolFileLimit));
  writes.emplace_back("Logger ID", OneByte(s.logger_id));
  return writes;
}

void SaveSettings(QSettings& store, const PersistentSettings& settings) {
  if (!store.isWritable()) return;
  for (const auto& [name, value] : SettingsWrites(settings)) store.setValue(name, value);
  store.sync();
}

void WriteComPort(QSettings& store, uint8_t port) {
  if (!store.isWritable()) return;
  store.setValue("COM Port", OneByte(port));
  store.sync();
}

bool ReadShowAllPages(const QSettings& store) {
  return ReadByte(store, "Show All Pages", 0) == 1;
}

void WriteShowAllPages(QSettings& store, bool show) {
  if (!store.isWritable()) return;
  store.setValue("Show All Pages", OneByte(show ? 1 : 0));
  store.sync();
}

bool ReadRecordLine(const QSettings& store) {
  return ReadByte(store, "Record Serial Line", 0) == 1;
}

void WriteRecordLine(QSettings& store, bool on) {
  if (!store.isWritable()) return;
  store.setValue("Record Serial Line", OneByte(on ? 1 : 0));
  store.sync();
}

uint8_t ReadTrackExports(const QSettings& store) {
  return ReadByte(store, "Track Exports", 0) & (kTrackExportGpx | kTrackExportKml);
}

void WriteTrackExports(QSettings& store, uint8_t formats) {
  if (!store.isWritable()) return;
  store.setValue("Track Exports", OneByte(formats));
  store.sync();
}

bool ReadEraseAfterDownload(const QSettings& store) {
  return ReadByte(store, "Erase After Download", 0) == 1;
}

void WriteEraseAfterDownload(QSettings& store, bool on) {
  if (!store.isWritable()) return;
  store.setValue("Erase After Download", OneByte(on ? 1 : 0));
  store.sync();
}

QByteArray ReadWindowGeometry(const QSettings& store) {
  const QVariant value = store.value("Window Geometry");
  return value.typeId() == QMetaType::QByteArray ? value.toByteArray() : QByteArray();
}

void WriteWindowGeometry(QSettings& store, const QByteArray& geometry) {
  if (!store.isWritable()) return;
  store.setValue("Window Geometry", geometry);
  store.sync();
}

}  // namespace tessor
