#include "tests/support/biff_writer.h"

#include <cmath>
#include <cstring>
#include <stdexcept>

namespace quorvel::test {

namespace {

constexpr std::uint32_t kMiniSector = 64;
constexpr std::size_t kMiniCutoff = 4096;
constexpr std::uint32_t kEnd = 0xFFFFFFFE, kFree = 0xFFFFFFFF, kFatSect = 0xFFFFFFFD,
                        kDifSect = 0xFFFFFFFC;

void set32(std::string& s, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}

std::uint32_t sectorsFor(std::size_t bytes, std::uint32_t size) {
  return static_cast<std::uint32_t>((bytes + size - 1) / size);
}

}  // namespace

void put16(std::string& out, std::uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void put32(std::string& out, std::uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

void putDouble(std::string& out, double v) {
  std::uint64_t bits;
  std::memcpy(&bits, &v, sizeof v);
  put32(out, static_cast<std::uint32_t>(bits));
  put32(out, static_cast<std::uint32_t>(bits >> 32));
}

bool encodeRk(double value, std::uint32_t& rk) {
  for (int x100 = 0; x100 < 2; ++x100) {
    double v = x100 ? value * 100 : value;
    if (std::nearbyint(v) == v && v >= -(1 << 29) && v < (1 << 29)) {
      std::int32_t i = static_cast<std::int32_t>(v);
      rk = (static_cast<std::uint32_t>(i) << 2) | 2 | static_cast<std::uint32_t>(x100);
      if (!x100 || static_cast<double>(i) / 100 == value) return true;
    }
  }
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof value);
  if ((bits & 0x3FFFFFFFFull) == 0) {
    rk = static_cast<std::uint32_t>(bits >> 32);
    return true;
  }
  return false;
}

std::u16string utf16FromUtf8(std::string_view s) {
  std::u16string out;
  for (std::size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    std::uint32_t cp = extra ? c & (0x3Fu >> extra) : c;
    for (std::size_t k = 1; k <= extra && i + k < s.size(); ++k)
      cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3Fu);
    i += extra + 1;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

std::string biffRecord(std::uint16_t type, std::string_view data) {
  std::string out;
  put16(out, type);
  put16(out, static_cast<std::uint32_t>(data.size()));
  out.append(data);
  return out;
}

// ---- compound file ----

void CompoundFileWriter::addStream(std::string name, std::string data) {
  streams_.emplace_back(std::move(name), std::move(data));
}

void CompoundFileWriter::patchFat(std::string& file, std::uint32_t sector,
                                  std::uint32_t next) const {
  const std::uint32_t kSector = sectorSize_;
  std::uint32_t fatSector = fatSectors_.at(sector / (kSector / 4));
  set32(file, std::size_t{fatSector + 1} * kSector + 4 * (sector % (kSector / 4)), next);
}

std::string CompoundFileWriter::build() {
  const std::uint32_t kSector = sectorSize_;
  const std::uint32_t perDifat = kSector / 4 - 1;
  // The mini stream: small streams one after the other, 64-byte aligned.
  std::string mini;
  std::vector<std::uint32_t> miniFat;
  std::vector<std::uint32_t> start(streams_.size(), kEnd);
  for (std::size_t i = 0; i < streams_.size(); ++i) {
    const std::string& d = streams_[i].second;
    if (d.empty() || d.size() >= kMiniCutoff) continue;
    std::uint32_t first = static_cast<std::uint32_t>(miniFat.size());
    std::uint32_t n = sectorsFor(d.size(), kMiniSector);
    for (std::uint32_t k = 0; k < n; ++k) miniFat.push_back(k + 1 < n ? first + k + 1 : kEnd);
    start[i] = first;
    mini.append(d);
    mini.resize(miniFat.size() * kMiniSector, '\0');
  }
  const std::uint32_t dirSectors = sectorsFor((streams_.size() + 1) * 128, kSector);
  const std::uint32_t miniFatSectors = sectorsFor(miniFat.size() * 4, kSector);
  const std::uint32_t miniSectors = sectorsFor(mini.size(), kSector);
  std::uint32_t bigSectors = 0;
  for (const auto& [name, d] : streams_)
    if (d.size() >= kMiniCutoff) bigSectors += sectorsFor(d.size(), kSector);
  const std::uint32_t content = dirSectors + miniFatSectors + miniSectors + bigSectors;
  std::uint32_t fat = 1, difat = 0;
  for (;;) {
    difat = fat > 109 ? (fat - 109 + perDifat - 1) / perDifat : 0;
    if (fat * (kSector / 4) >= content + fat + difat) break;
    ++fat;
  }
  const std::uint32_t total = fat + difat + content;
  std::vector<std::uint32_t> table(fat * (kSector / 4), kFree);
  std::string file(std::size_t{kSector} * (total + 1), '\0');
  fatSectors_.clear();
  for (std::uint32_t i = 0; i < fat; ++i) {
    table[i] = kFatSect;
    fatSectors_.push_back(i);
  }
  for (std::uint32_t i = 0; i < difat; ++i) table[fat + i] = kDifSect;
  std::uint32_t next = fat + difat;
  auto place = [&](const std::string& bytes, std::uint32_t sectors) {
    std::uint32_t first = sectors ? next : kEnd;
    for (std::uint32_t k = 0; k < sectors; ++k)
      table[next + k] = k + 1 < sectors ? next + k + 1 : kEnd;
    std::memcpy(file.data() + std::size_t{next + 1} * kSector, bytes.data(),
                std::min<std::size_t>(bytes.size(), std::size_t{sectors} * kSector));
    next += sectors;
    return first;
  };
  // Directory: the root, then each stream as the right sibling of the one before.
  std::string dir(std::size_t{dirSectors} * kSector, '\0');
  auto entry = [&](std::size_t index, const std::string& name, std::uint8_t type,
                   std::uint32_t right, std::uint32_t child, std::uint32_t first,
                   std::uint32_t size) {
    std::size_t at = index * 128;
    std::u16string n = utf16FromUtf8(name);
    for (std::size_t k = 0; k < n.size() && k < 31; ++k) {
      dir[at + 2 * k] = static_cast<char>(n[k] & 0xFF);
      dir[at + 2 * k + 1] = static_cast<char>(n[k] >> 8);
    }
    std::uint32_t len = static_cast<std::uint32_t>(std::min<std::size_t>(n.size(), 31) + 1) * 2;
    dir[at + 64] = static_cast<char>(len);
    dir[at + 66] = static_cast<char>(type);
    dir[at + 67] = 1;  // black
    set32(dir, at + 68, kFree);
    set32(dir, at + 72, right);
    set32(dir, at + 76, child);
    set32(dir, at + 116, first);
    set32(dir, at + 120, size);
  };
  for (std::size_t k = streams_.size() + 1; k < dirSectors * kSector / 128; ++k) {
    set32(dir, k * 128 + 68, kFree);
    set32(dir, k * 128 + 72, kFree);
    set32(dir, k * 128 + 76, kFree);
  }
  std::uint32_t dirFirst = next;
  next += dirSectors;  // written once the streams' sectors are known
  for (std::uint32_t k = 0; k < dirSectors; ++k)
    table[dirFirst + k] = k + 1 < dirSectors ? dirFirst + k + 1 : kEnd;
  std::string miniFatBytes;
  for (std::uint32_t v : miniFat) put32(miniFatBytes, v);
  miniFatBytes.resize(std::size_t{miniFatSectors} * kSector, '\xFF');
  std::uint32_t miniFatFirst = place(miniFatBytes, miniFatSectors);
  std::uint32_t miniFirst = place(mini, miniSectors);
  for (std::size_t i = 0; i < streams_.size(); ++i) {
    const std::string& d = streams_[i].second;
    if (d.size() >= kMiniCutoff) start[i] = place(d, sectorsFor(d.size(), kSector));
    firstSector_[streams_[i].first] = start[i];
  }
  entry(0, "Root Entry", 5, kFree, streams_.empty() ? kFree : 1, miniFirst,
        static_cast<std::uint32_t>(mini.size()));
  for (std::size_t i = 0; i < streams_.size(); ++i)
    entry(i + 1, streams_[i].first, 2,
          i + 1 < streams_.size() ? static_cast<std::uint32_t>(i + 2) : kFree, kFree, start[i],
          static_cast<std::uint32_t>(streams_[i].second.size()));
  std::memcpy(file.data() + std::size_t{dirFirst + 1} * kSector, dir.data(), dir.size());
  // The FAT, then the DIFAT sectors listing FAT sectors past the header's 109.
  for (std::uint32_t i = 0; i < fat; ++i)
    for (std::uint32_t k = 0; k < kSector / 4; ++k)
      set32(file, std::size_t{i + 1} * kSector + 4 * k, table[i * (kSector / 4) + k]);
  for (std::uint32_t d = 0; d < difat; ++d) {
    std::size_t at = std::size_t{fat + d + 1} * kSector;
    for (std::uint32_t k = 0; k < perDifat; ++k) {
      std::uint32_t index = 109 + d * perDifat + k;
      set32(file, at + 4 * k, index < fat ? index : kFree);
    }
    set32(file, at + 4 * perDifat, d + 1 < difat ? fat + d + 1 : kEnd);
  }
  // Header.
  static const unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  std::memcpy(file.data(), kSignature, 8);
  file[24] = 0x3E;
  file[26] = static_cast<char>(version_);
  file[28] = '\xFE';
  file[29] = '\xFF';
  file[30] = version_ == 4 ? 12 : 9;
  if (version_ == 4) set32(file, 40, dirSectors);
  file[32] = 6;
  set32(file, 44, fat);
  set32(file, 48, dirFirst);
  set32(file, 56, static_cast<std::uint32_t>(kMiniCutoff));
  set32(file, 60, miniFatSectors ? miniFatFirst : kEnd);
  set32(file, 64, miniFatSectors);
  set32(file, 68, difat ? fat : kEnd);
  set32(file, 72, difat);
  for (std::uint32_t i = 0; i < 109; ++i) set32(file, 76 + 4 * i, i < fat ? i : kFree);
  return file;
}

// ---- workbook stream ----

void WorkbookWriter::addFormat(std::uint16_t id, const std::string& code) {
  formats_.emplace_back(id, code);
}

std::uint16_t WorkbookWriter::addXf(std::uint16_t formatId, bool filled, bool bordered) {
  xfs_.push_back({formatId, filled, bordered});
  return static_cast<std::uint16_t>(xfs_.size() - 1);
}

std::size_t WorkbookWriter::addSheet(const std::string& name, std::uint8_t hsState, std::uint8_t dt,
                                     bool dialog) {
  sheets_.push_back({name, hsState, dt, dialog, {}});
  return sheets_.size() - 1;
}

std::uint32_t WorkbookWriter::sharedString(const std::string& utf8, std::uint16_t richRuns,
                                           std::uint32_t phoneticBytes) {
  shared_.push_back({utf16FromUtf8(utf8), richRuns, phoneticBytes});
  ++sharedTotal_;
  return static_cast<std::uint32_t>(shared_.size() - 1);
}

std::string WorkbookWriter::unicodeString(const std::string& utf8, std::size_t countBytes) const {
  std::string out;
  if (version_ != 8) {
    // BIFF5: the bytes as given, in the workbook's code page.
    if (countBytes == 1)
      out.push_back(static_cast<char>(utf8.size()));
    else
      put16(out, static_cast<std::uint32_t>(utf8.size()));
    return out + utf8;
  }
  std::u16string u = utf16FromUtf8(utf8);
  bool wide = false;
  for (char16_t c : u) wide |= c > 0xFF;
  if (countBytes == 1)
    out.push_back(static_cast<char>(u.size()));
  else
    put16(out, static_cast<std::uint32_t>(u.size()));
  out.push_back(wide ? 1 : 0);
  for (char16_t c : u) {
    if (wide)
      put16(out, c);
    else
      out.push_back(static_cast<char>(c));
  }
  return out;
}

std::string WorkbookWriter::sstRecords() const {
  std::string out, cur;
  std::uint16_t type = 0x00FC;
  auto flush = [&] {
    out += biffRecord(type, cur);
    cur.clear();
    type = 0x003C;
  };
  put32(cur, static_cast<std::uint32_t>(sharedTotal_));
  put32(cur, static_cast<std::uint32_t>(shared_.size()));
  for (const Shared& s : shared_) {
    // The chunk of characters that fits from `at`, and whether it needs two bytes each.
    auto chunk = [&](std::size_t at, std::size_t space, bool& wide) {
      std::size_t n = std::min(s.text.size() - at, space);
      wide = false;
      for (std::size_t k = 0; k < n; ++k) wide |= s.text[at + k] > 0xFF;
      return wide ? std::min(s.text.size() - at, space / 2) : n;
    };
    std::size_t header = 3 + (s.runs ? 2 : 0) + (s.phonetic ? 4 : 0);
    if (cur.size() + header + 2 > maxRecordData_) flush();
    bool wide;
    std::size_t n = chunk(0, maxRecordData_ - cur.size() - header, wide);
    put16(cur, static_cast<std::uint32_t>(s.text.size()));
    cur.push_back(static_cast<char>((wide ? 1 : 0) | (s.runs ? 8 : 0) | (s.phonetic ? 4 : 0)));
    if (s.runs) put16(cur, s.runs);
    if (s.phonetic) put32(cur, s.phonetic);
    std::size_t at = 0;
    for (;;) {
      for (std::size_t k = 0; k < n; ++k) {
        if (wide)
          put16(cur, s.text[at + k]);
        else
          cur.push_back(static_cast<char>(s.text[at + k]));
      }
      at += n;
      if (at == s.text.size()) break;
      flush();
      n = chunk(at, maxRecordData_ - 1, wide);
      cur.push_back(wide ? 1 : 0);  // each Continue repeats the option byte
    }
    // Runs and phonetic data: filler bytes the reader must skip.
    std::size_t tail = std::size_t{s.runs} * 4 + s.phonetic;
    for (std::size_t k = 0; k < tail; ++k) {
      if (cur.size() == maxRecordData_) flush();
      cur.push_back('\x5A');
    }
  }
  flush();
  return out;
}

void WorkbookWriter::cell(std::size_t sheet, std::uint16_t type, std::uint16_t row,
                          std::uint16_t col, std::uint16_t xf, std::string_view tail) {
  std::string d;
  put16(d, row);
  put16(d, col);
  put16(d, xf);
  d.append(tail);
  sheets_.at(sheet).records += biffRecord(type, d);
}

void WorkbookWriter::number(std::size_t sheet, std::uint16_t row, std::uint16_t col, double v,
                            std::uint16_t xf) {
  std::string t;
  putDouble(t, v);
  cell(sheet, 0x0203, row, col, xf, t);
}

void WorkbookWriter::rk(std::size_t sheet, std::uint16_t row, std::uint16_t col, std::uint32_t rk,
                        std::uint16_t xf) {
  std::string t;
  put32(t, rk);
  cell(sheet, 0x027E, row, col, xf, t);
}

void WorkbookWriter::mulRk(std::size_t sheet, std::uint16_t row, std::uint16_t firstCol,
                           const std::vector<std::uint32_t>& rks, std::uint16_t xf) {
  std::string d;
  put16(d, row);
  put16(d, firstCol);
  for (std::uint32_t v : rks) {
    put16(d, xf);
    put32(d, v);
  }
  put16(d, static_cast<std::uint32_t>(firstCol + rks.size() - 1));
  sheets_.at(sheet).records += biffRecord(0x00BD, d);
}

void WorkbookWriter::labelSst(std::size_t sheet, std::uint16_t row, std::uint16_t col,
                              std::uint32_t index, std::uint16_t xf) {
  std::string t;
  put32(t, index);
  cell(sheet, 0x00FD, row, col, xf, t);
}

void WorkbookWriter::label(std::size_t sheet, std::uint16_t row, std::uint16_t col,
                           const std::string& bytes, std::uint16_t xf) {
  cell(sheet, 0x0204, row, col, xf, unicodeString(bytes, 2));
}

void WorkbookWriter::boolErr(std::size_t sheet, std::uint16_t row, std::uint16_t col,
                             std::uint8_t value, bool isError, std::uint16_t xf) {
  std::string t;
  t.push_back(static_cast<char>(value));
  t.push_back(isError ? 1 : 0);
  cell(sheet, 0x0205, row, col, xf, t);
}

void WorkbookWriter::blank(std::size_t sheet, std::uint16_t row, std::uint16_t col,
                           std::uint16_t xf) {
  cell(sheet, 0x0201, row, col, xf, {});
}

void WorkbookWriter::mulBlank(std::size_t sheet, std::uint16_t row, std::uint16_t firstCol,
                              std::uint16_t count, std::uint16_t xf) {
  std::string d;
  put16(d, row);
  put16(d, firstCol);
  for (std::uint16_t k = 0; k < count; ++k) put16(d, xf);
  put16(d, firstCol + count - 1u);
  sheets_.at(sheet).records += biffRecord(0x00BE, d);
}

void WorkbookWriter::formulaNumber(std::size_t sheet, std::uint16_t row, std::uint16_t col,
                                   double v) {
  std::string t;
  putDouble(t, v);
  t.append("\0\0\0\0\0\0\x03\0\x1E\x01\x00", 11);  // flags, chn, cce 3: ptgInt 1
  cell(sheet, 0x0006, row, col, 0, t);
}

void WorkbookWriter::formulaOther(std::size_t sheet, std::uint16_t row, std::uint16_t col,
                                  std::uint8_t type, std::uint8_t payload, const std::string& text,
                                  bool sharedFormulaBetween) {
  std::string t;
  t.push_back(static_cast<char>(type));
  t.push_back(0);
  t.push_back(static_cast<char>(payload));
  t.append("\0\0\0\xFF\xFF", 5);
  t.append("\0\0\0\0\0\0\x03\0\x1E\x01\x00", 11);
  cell(sheet, 0x0006, row, col, 0, t);
  if (sharedFormulaBetween) sheets_.at(sheet).records += biffRecord(0x04BC, std::string(10, '\0'));
  if (type == 0) sheets_.at(sheet).records += biffRecord(0x0207, unicodeString(text, 2));
}

void WorkbookWriter::raw(std::size_t sheet, std::uint16_t type, std::string_view data) {
  sheets_.at(sheet).records += biffRecord(type, data);
}

void WorkbookWriter::defaultRowHeight(std::size_t sheet, std::uint16_t twips) {
  std::string d;
  put16(d, 0);
  put16(d, twips);
  raw(sheet, 0x0225, d);
}

void WorkbookWriter::row(std::size_t sheet, std::uint16_t row, std::uint16_t height,
                         std::uint8_t flags, std::uint16_t xf) {
  std::string d;
  put16(d, row);
  put16(d, 0);
  put16(d, 0);
  put16(d, height);
  put32(d, 0);
  put16(d, flags | 0x100u);
  put16(d, xf);
  raw(sheet, 0x0208, d);
}

void WorkbookWriter::colInfo(std::size_t sheet, std::uint16_t first, std::uint16_t last,
                             std::uint16_t xf, bool hidden) {
  std::string d;
  put16(d, first);
  put16(d, last);
  put16(d, 2560);
  put16(d, xf);
  put16(d, hidden ? 1 : 0);
  put16(d, 0);
  raw(sheet, 0x007D, d);
}

std::string WorkbookWriter::stream() const {
  auto bof = [&](std::uint16_t dt) {
    std::string d;
    put16(d, version_ == 8 ? 0x0600 : 0x0500);
    put16(d, dt);
    put16(d, 0x0DBB);
    put16(d, 0x07CC);
    if (version_ == 8) {
      put32(d, 0);
      put32(d, 0x0206);
    }
    return biffRecord(0x0809, d);
  };
  std::string eof = biffRecord(0x000A, {});
  std::string head = bof(0x0005);
  if (!filePass_.empty()) head += biffRecord(0x002F, filePass_);
  std::string cp;
  put16(cp, codePage_);
  head += biffRecord(0x0042, cp);
  std::string d1904;
  put16(d1904, date1904_ ? 1 : 0);
  head += biffRecord(0x0022, d1904);
  for (const auto& [id, code] : formats_) {
    std::string d;
    put16(d, id);
    d += unicodeString(code, version_ == 8 ? 2 : 1);
    head += biffRecord(0x041E, d);
  }
  for (const Xf& xf : xfs_) {
    std::string d;
    put16(d, 0);
    put16(d, xf.format);
    d.resize(version_ == 8 ? 20 : 16, '\0');
    if (version_ == 8) {
      if (xf.bordered) set32(d, 10, 0x1111);  // thin left, right, top, bottom
      if (xf.filled) set32(d, 14, 1u << 26);  // solid
    } else {
      set32(d, 8, (xf.filled ? 1u << 16 : 0) | (xf.bordered ? 1u << 22 : 0));
      if (xf.bordered) set32(d, 12, 0x49);  // thin top, left, right
    }
    head += biffRecord(0x00E0, d);
  }
  std::string tail;
  if (version_ == 8 && !shared_.empty()) tail += sstRecords();
  tail += eof;
  std::vector<std::string> bound;
  std::size_t globalsSize = head.size() + tail.size();
  for (const Sheet& s : sheets_) {
    std::string d(6, '\0');
    d += unicodeString(s.name, 1);
    bound.push_back(d);
    globalsSize += 4 + d.size();
  }
  std::string out = head;
  std::size_t offset = globalsSize;
  std::vector<std::string> bodies;
  for (std::size_t i = 0; i < sheets_.size(); ++i) {
    const Sheet& s = sheets_[i];
    std::string body = bof(s.dt == 2 ? 0x0020 : s.dt == 1 ? 0x0040 : 0x0010);
    if (s.dialog) body += biffRecord(0x0081, std::string("\x10\x04", 2));
    body += s.records + eof;
    set32(bound[i], 0, static_cast<std::uint32_t>(offset));
    bound[i][4] = static_cast<char>(s.hsState);
    bound[i][5] = static_cast<char>(s.dt);
    out += biffRecord(0x0085, bound[i]);
    offset += body.size();
    bodies.push_back(std::move(body));
  }
  out += tail;
  for (const auto& b : bodies) out += b;
  return out;
}

std::string WorkbookWriter::file() const {
  CompoundFileWriter cfb;
  cfb.addStream(version_ == 8 ? "Workbook" : "Book", stream());
  return cfb.build();
}

}  // namespace quorvel::test
