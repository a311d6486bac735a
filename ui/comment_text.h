#pragma once

// POI comments as the page shows them and stores them. Files written by this
// program hold UTF-8; files written on Windows hold the Windows code page
// (Windows-1252 for western languages). A comment that is not valid UTF-8 is
// shown byte by byte as Windows-1252 (its five unassigned bytes as Latin-1),
// so "Stra\xDFe" reads "Straße" instead of a replacement character. The page
// stores a comment back only when the user edited it, and then as UTF-8.

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <string>
#include <string_view>

namespace tessor {

inline QString CommentText(std::string_view bytes) {
  const QByteArray raw(bytes.data(), static_cast<qsizetype>(bytes.size()));
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8.decode(raw);
  if (!utf8.hasError()) return text;
  // 0x80..0x9F of Windows-1252; 0 where the code page assigns nothing.
  static constexpr char16_t kHigh[32] = {
      0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
  text.clear();
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    const bool high = byte >= 0x80 && byte <= 0x9F && kHigh[byte - 0x80] != 0;
    text += QChar(high ? kHigh[byte - 0x80] : char16_t{byte});
  }
  return text;
}

// The bytes an edited comment is stored as.
inline std::string CommentBytes(const QString& text) {
  return text.toUtf8().toStdString();
}

}  // namespace tessor
