#include "tests/support/corpus.h"

#include <algorithm>
#include <fstream>
#include <nlohmann/json.hpp>

#include "engine/spreadsheet/unicode.h"
#include "tests/support/test_support.h"

namespace quorvel::test {

std::filesystem::path CorpusWorkbook::path() const {
  return corpusDir() / file;
}

int CorpusWorkbook::worksheetOrdinal(int sheetIndex) const {
  if (sheetIndex < 0 || static_cast<std::size_t>(sheetIndex) >= sheetTypes.size()) return -1;
  if (sheetTypes[static_cast<std::size_t>(sheetIndex)] != "worksheet") return -1;
  int ordinal = 0;
  for (int i = 0; i < sheetIndex; ++i)
    if (sheetTypes[static_cast<std::size_t>(i)] == "worksheet") ++ordinal;
  return ordinal;
}

namespace {

std::string str(const nlohmann::json& j, const char* key) {
  auto it = j.find(key);
  return it != j.end() && it->is_string() ? it->get<std::string>() : std::string();
}

int num(const nlohmann::json& j, const char* key, int fallback) {
  auto it = j.find(key);
  return it != j.end() && it->is_number_integer() ? it->get<int>() : fallback;
}

ExpectedExport readExpected(const nlohmann::json& e) {
  ExpectedExport x;
  x.file = str(e, "file");
  x.sheetIndex = num(e, "sheet_index", -1);
  x.sheetName = str(e, "sheet_name");
  x.encoding = str(e, "encoding");
  if (x.encoding.empty()) x.encoding = "ASCII";
  x.excel = str(e, "producer").rfind("NOT Excel", 0) != 0;
  // Excel 2016 for Mac joined rows with CR LF and ended the last one without
  // (the manifest's final_newline cannot tell an empty last row); copies
  // rewritten with LF line ends say what they end with.
  auto finalNewline = e.find("final_newline");
  if (finalNewline != e.end() && finalNewline->is_boolean())
    x.finalNewline = finalNewline->get<bool>();
  if (x.file.find(".excel2016mac.") != std::string::npos && str(e, "line_end") == "CRLF")
    x.finalNewline = false;
  return x;
}

// Windows-1252's 0x80-0x9F; the rest is Latin-1.
constexpr std::uint16_t kCp1252High[32] = {
    0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};

std::string toUtf8(const std::string& bytes, const std::string& encoding) {
  std::string out;
  if (encoding.rfind("UTF-16", 0) == 0) {
    std::size_t i = (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF) ? 2 : 0;
    for (; i + 1 < bytes.size(); i += 2) {
      std::uint32_t u =
          static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
      if (u >= 0xD800 && u < 0xDC00 && i + 3 < bytes.size()) {
        std::uint32_t lo = static_cast<unsigned char>(bytes[i + 2]) |
                           (static_cast<unsigned char>(bytes[i + 3]) << 8);
        u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
        i += 2;
      }
      spreadsheet::appendUtf8(u, out);
    }
    return out;
  }
  if (encoding == "UTF-8") {
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) return bytes.substr(3);
    return bytes;
  }
  for (unsigned char c : bytes) {
    if (c < 0x80)
      out += static_cast<char>(c);
    else if (c < 0xA0)
      spreadsheet::appendUtf8(kCp1252High[c - 0x80], out);
    else
      spreadsheet::appendUtf8(c, out);
  }
  return out;
}

bool inCp1252(std::uint32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return true;
  return std::find(std::begin(kCp1252High), std::end(kCp1252High), cp) != std::end(kCp1252High);
}

// Our text with every character outside Windows-1252 replaced.
std::string lossy(const std::string& s, char replacement) {
  std::string out;
  for (std::size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    std::uint32_t cp = c;
    if (len == 2) cp = c & 0x1F;
    if (len == 3) cp = c & 0x0F;
    if (len == 4) cp = c & 0x07;
    for (std::size_t k = 1; k < len && i + k < s.size(); ++k)
      cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    if (inCp1252(cp)) {
      out.append(s, i, len);
    } else {
      out += replacement;
      if (cp >= 0x10000 && replacement == '_') out += '_';  // a surrogate pair: two units
    }
    i += len;
  }
  return out;
}

bool rowEmpty(const std::vector<std::string>& row) {
  return std::all_of(row.begin(), row.end(), [](const std::string& c) { return c.empty(); });
}

Grid trim(Grid g) {
  while (!g.empty() && rowEmpty(g.back())) g.pop_back();
  std::size_t top = 0;
  while (top < g.size() && rowEmpty(g[top])) ++top;
  g.erase(g.begin(), g.begin() + static_cast<std::ptrdiff_t>(top));
  std::size_t left = SIZE_MAX, right = 0;
  for (auto& row : g) {
    for (std::size_t c = 0; c < row.size(); ++c)
      if (!row[c].empty()) {
        left = std::min(left, c);
        right = std::max(right, c + 1);
      }
  }
  if (left == SIZE_MAX) return {};
  for (auto& row : g) {
    row.resize(std::max(row.size(), right));
    row.erase(row.begin() + static_cast<std::ptrdiff_t>(right), row.end());
    row.erase(row.begin(), row.begin() + static_cast<std::ptrdiff_t>(left));
  }
  return g;
}

}  // namespace

std::vector<CorpusWorkbook> loadCorpusManifest() {
  std::ifstream in(corpusDir() / "MANIFEST.json");
  nlohmann::json m = nlohmann::json::parse(in);
  std::vector<CorpusWorkbook> out;
  for (const auto& f : m["files"]) {
    CorpusWorkbook w;
    w.file = str(f, "file");
    if (f.contains("sheets_in_file") && f["sheets_in_file"].is_array())
      for (const auto& s : f["sheets_in_file"]) w.sheetTypes.push_back(str(s, "type"));
    if (f.contains("expected") && f["expected"].is_array())
      for (const auto& e : f["expected"]) w.expected.push_back(readExpected(e));
    if (f.contains("expected_of_original") && f["expected_of_original"].is_object()) {
      for (const auto& file : f["expected_of_original"].value("files", nlohmann::json::array())) {
        ExpectedExport x;
        x.file = file.get<std::string>();
        // "<name>.sheetN.<producer>.csv"
        auto pos = x.file.find(".sheet");
        x.sheetIndex = pos == std::string::npos ? 0 : std::atoi(x.file.c_str() + pos + 6);
        x.encoding = "ASCII";
        w.expectedOfOriginal.push_back(x);
      }
    }
    if (f.contains("encrypted") && !f["encrypted"].is_null()) {
      w.encrypted = true;
      if (f["encrypted"].is_object()) w.encryptionPassword = str(f["encrypted"], "password");
    }
    w.broken = w.file.rfind("broken/", 0) == 0;
    out.push_back(std::move(w));
  }
  return out;
}

Grid parseExport(const std::string& bytes, const std::string& encoding, char separator) {
  std::string text = toUtf8(bytes, encoding);
  Grid grid;
  std::vector<std::string> row;
  std::string cell;
  bool quoted = false, any = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (quoted) {
      if (c == '"') {
        if (i + 1 < text.size() && text[i + 1] == '"') {
          cell += '"';
          ++i;
        } else {
          quoted = false;
        }
      } else {
        cell += c;
      }
      continue;
    }
    if (c == '"' && cell.empty()) {
      quoted = true;
      any = true;
    } else if (c == separator) {
      row.push_back(std::move(cell));
      cell.clear();
      any = true;
    } else if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      row.push_back(std::move(cell));
      cell.clear();
      grid.push_back(std::move(row));
      row.clear();
      any = false;
    } else {
      cell += c;
      any = true;
    }
  }
  if (any || !cell.empty()) {
    row.push_back(std::move(cell));
    grid.push_back(std::move(row));
  }
  return grid;
}

void Agreement::add(const Agreement& other) {
  cells += other.cells;
  matching += other.matching;
  for (const auto& m : other.firstMismatches)
    if (firstMismatches.size() < 12) firstMismatches.push_back(m);
}

namespace {

// Excel for Mac writes a cell's line feeds as carriage returns in its CSV.
bool sameButLineBreaks(const std::string& ours, const std::string& expected) {
  if (ours.size() != expected.size() || ours.find('\n') == std::string::npos) return false;
  for (std::size_t i = 0; i < ours.size(); ++i)
    if (ours[i] != expected[i] && !(ours[i] == '\n' && expected[i] == '\r')) return false;
  return true;
}

}  // namespace

Agreement compareGrids(const Grid& ours, const Grid& expected) {
  return compareGridsInPlace(trim(ours), trim(expected));
}

bool sameShape(const Grid& ours, const Grid& expected) {
  auto width = [](const Grid& g) {
    std::size_t w = 0;
    for (const auto& row : g) w = std::max(w, row.size());
    return w;
  };
  return ours.size() == expected.size() && width(ours) == width(expected);
}

void restoreLastEmptyRow(Grid& grid, const std::string& bytes, const ExpectedExport& e) {
  if (e.finalNewline || bytes.empty()) return;
  // The last character, in whichever encoding: a line break means one more row.
  char last = bytes.back();
  if (e.encoding.rfind("UTF-16", 0) == 0 && bytes.size() >= 2) last = bytes[bytes.size() - 2];
  if (last == '\n' || last == '\r') grid.push_back({""});
}

Agreement compareGridsInPlace(const Grid& ours, const Grid& expected) {
  Agreement a;
  std::size_t rows = std::max(ours.size(), expected.size());
  for (std::size_t r = 0; r < rows; ++r) {
    std::size_t cols = std::max(r < ours.size() ? ours[r].size() : 0,
                                r < expected.size() ? expected[r].size() : 0);
    for (std::size_t c = 0; c < cols; ++c) {
      static const std::string kEmpty;
      const std::string& o = r < ours.size() && c < ours[r].size() ? ours[r][c] : kEmpty;
      const std::string& e =
          r < expected.size() && c < expected[r].size() ? expected[r][c] : kEmpty;
      if (o.empty() && e.empty()) continue;
      ++a.cells;
      if (o == e || lossy(o, '_') == e || lossy(o, '?') == e || sameButLineBreaks(o, e)) {
        ++a.matching;
      } else if (a.firstMismatches.size() < 12) {
        a.firstMismatches.push_back("R" + std::to_string(r + 1) + "C" + std::to_string(c + 1) +
                                    ": ours [" + o.substr(0, 60) + "] expected [" +
                                    e.substr(0, 60) + "]");
      }
    }
  }
  return a;
}

}  // namespace quorvel::test
