// Texts at the Qt border: code page 1252 inside the library, Unicode in Qt, UTF-8 for file names.
#include "quillon/backend/backend.h"

#include <QDir>
#include <QFileInfo>

#include <array>
#include <filesystem>

namespace {

// Code points of the bytes 0x80..0x9F; the five unassigned bytes keep their C1 code point so
// that every byte survives the round trip.
constexpr std::array<char16_t, 32> high_control = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char byte_of(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return char(c);
  for (size_t i = 0; i < high_control.size(); ++i)
    if (high_control[i] == c) return char(0x80 + i);
  return '?';
}

}  // namespace

namespace qnb {

QString from_1252(std::string_view text) {
  QString out;
  out.reserve(qsizetype(text.size()));
  for (char ch : text) {
    const auto b = static_cast<unsigned char>(ch);
    out.append(QChar(b >= 0x80 && b < 0xA0 ? high_control[b - 0x80] : char16_t(b)));
  }
  return out;
}

QString readable_from_1252(std::string_view text) {
  QString out = from_1252(text);
  // The five bytes that code page 1252 leaves without a character stand, in the texts this
  // system has kept from its DOS days, for the DOS code page's letters ("LSTMGR " 0x81
  // "berlauf" is "LSTMGR überlauf").  Shown as they are they would be invisible control codes.
  for (QChar& c : out) {
    switch (c.unicode()) {
      case 0x81: c = QChar(0x00FC); break;  // ü
      case 0x8D: c = QChar(0x00EC); break;  // ì
      case 0x8F: c = QChar(0x00C5); break;  // Å
      case 0x90: c = QChar(0x00C9); break;  // É
      case 0x9D: c = QChar(0x00D8); break;  // Ø
      default: break;
    }
  }
  return out;
}

std::string to_1252(const QString& text) {
  std::string out;
  out.reserve(size_t(text.size()));
  for (QChar c : text) out.push_back(byte_of(c.unicode()));
  return out;
}

std::string resolve_file_name(std::string_view name) {
  QString path = from_1252(name).trimmed();
  path.replace(QLatin1Char('\\'), QLatin1Char('/'));
  if (path.isEmpty() || QFileInfo::exists(path)) return path.toStdString();
  // Walk the components and take the first entry of each directory that matches without case.
  const bool absolute = path.startsWith(QLatin1Char('/'));
  const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
  QString done = absolute ? QStringLiteral("/") : QString();
  for (qsizetype i = 0; i < parts.size(); ++i) {
    const QString& part = parts[i];
    QString next = done.isEmpty() ? part : (done.endsWith(QLatin1Char('/')) ? done + part : done + "/" + part);
    if (part != QLatin1String(".") && part != QLatin1String("..") && !QFileInfo::exists(next)) {
      const QDir dir(done.isEmpty() ? QStringLiteral(".") : done);
      const QStringList entries = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
      for (const QString& entry : entries) {
        if (entry.compare(part, Qt::CaseInsensitive) == 0) {
          next = done.isEmpty() ? entry : (done.endsWith(QLatin1Char('/')) ? done + entry : done + "/" + entry);
          break;
        }
      }
    }
    done = next;
  }
  return done.toStdString();
}

}  // namespace qnb
