#include "app/shell.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>
#include <cerrno>
#include <cstring>
#include <string>

#include "engine/string_table.h"

namespace tessor {

QString ToWide(const QByteArray& text) {
  return QString::fromUtf8(text);
}
QString ToWide(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
QByteArray ToNarrow(const QString& text) {
  return text.toUtf8();
}

std::optional<QString> GetProgramFolder() {
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  if (folder.isEmpty() || !QDir().mkpath(folder)) return std::nullopt;
  return QDir::cleanPath(folder);
}

std::optional<std::array<uint16_t, 4>> ParseFileVersion(const std::string& text) {
  const QStringList parts = QString::fromStdString(text).split('.');
  if (parts.isEmpty() || parts.size() > 4) return std::nullopt;
  std::array<uint16_t, 4> version{};
  for (int i = 0; i < parts.size(); ++i) {
    bool ok = false;
    const uint value = parts[i].toUInt(&ok);
    if (!ok || value > 0xFFFF) return std::nullopt;
    version[static_cast<size_t>(i)] = static_cast<uint16_t>(value);
  }
  return version;
}

std::optional<std::array<uint16_t, 4>> GetFileVersion() {
#ifdef TESSOR_VERSION
  return ParseFileVersion(TESSOR_VERSION);
#else
  return std::nullopt;
#endif
}

QString FormatVersion(const std::array<uint16_t, 4>& v) {
  return QString("%1.%2.%3.%4").arg(v[0]).arg(v[1]).arg(v[2]).arg(v[3]);
}

QString WindowTitle() {
  QString title = LoadText(kStrCaption);
  if (const auto version = GetFileVersion()) title += "  " + FormatVersion(*version);
  return title;
}

QString LoadText(int id) {
  return QString::fromUtf8(LoadString(id));
}

QString SystemErrorText(int error) {
  char text[256] = {};
  // The GNU form may return a static text instead of filling the buffer.
  return QString::fromLocal8Bit(strerror_r(error, text, sizeof text));
}

int FileWriteError(const QString& path) {
  const std::string file = QFile::encodeName(QFileInfo(path).absoluteFilePath()).toStdString();
  // Each folder on the way is made as the settings store would make it.
  for (size_t slash = file.find('/', 1); slash != std::string::npos;
       slash = file.find('/', slash + 1)) {
    if (::mkdir(file.substr(0, slash).c_str(), 0755) != 0 && errno != EEXIST) return errno;
  }
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return errno;
  ::close(fd);
  return 0;
}

}  // namespace tessor
