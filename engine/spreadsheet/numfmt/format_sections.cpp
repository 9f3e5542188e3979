// Splits a format code into its sections, tells dates from numbers, and
// decides which sections numbers and text use.
#include <algorithm>

#include "engine/spreadsheet/limits.h"
#include "engine/spreadsheet/numfmt/format_program.h"

namespace quorvel::spreadsheet::numfmt {

namespace {

constexpr std::size_t kMaxSections = 4;

// Splits on the `;` that are not quoted, escaped or bracketed.
std::vector<std::string_view> splitSections(std::string_view code) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i < code.size(); ++i) {
    char c = code[i];
    if (c == '"') {
      std::size_t close = code.find('"', i + 1);
      i = close == std::string_view::npos ? code.size() : close;
    } else if (c == '\\' || c == '_' || c == '*') {
      ++i;
    } else if (c == '[') {
      std::size_t close = code.find(']', i + 1);
      i = close == std::string_view::npos ? code.size() : close;
    } else if (c == ';') {
      parts.push_back(code.substr(start, i - start));
      start = i + 1;
    }
  }
  parts.push_back(code.substr(start));
  return parts;
}

// Whether a section shows a date or time: an unquoted date letter or AM/PM.
bool isDateSection(std::string_view s) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c == '"') {
      std::size_t close = s.find('"', i + 1);
      i = close == std::string_view::npos ? s.size() : close;
      continue;
    }
    if (c == '\\' || c == '_' || c == '*') {
      ++i;
      continue;
    }
    if (c == '[') {
      std::size_t close = s.find(']', i + 1);
      if (close == std::string_view::npos) return false;
      if (isElapsedBracket(s.substr(i + 1, close - i - 1))) return true;
      i = close;
      continue;
    }
    if (startsWithNoCase(s, i, "general")) {
      i += 6;
      continue;
    }
    if (startsWithNoCase(s, i, "am/pm") || startsWithNoCase(s, i, "a/p")) return true;
    switch (lower(c)) {
      case 'y':
      case 'm':
      case 'd':
      case 'h':
      case 's':
      case 'g':
      case 'b':
        return true;
      case 'e':
        if (i + 1 >= s.size() || (s[i + 1] != '+' && s[i + 1] != '-')) return true;
        break;
      default:
        break;
    }
  }
  return false;
}

// The system's long date ([$-F800], or [$-x-sysdate] in newer files) is the
// en-US one; the code after it is only the writer's rendering of it.
constexpr std::string_view kEnUsLongDate = "dddd, mmmm d, yyyy";

bool systemLongDate(std::string_view part) {
  return startsWithNoCase(part, 0, "[$-f800]") || startsWithNoCase(part, 0, "[$-x-sysdate]");
}

Section generalSection() {
  Section s;
  s.kind = SectionKind::General;
  Token t;
  t.kind = Tok::General;
  s.tokens.push_back(t);
  return s;
}

}  // namespace

bool Section::matches(double v) const {
  switch (op) {
    case CondOp::Lt:
      return v < limit;
    case CondOp::Le:
      return v <= limit;
    case CondOp::Gt:
      return v > limit;
    case CondOp::Ge:
      return v >= limit;
    case CondOp::Eq:
      return v == limit;
    case CondOp::Ne:
      return v != limit;
    case CondOp::None:
      return true;
  }
  return true;
}

Program compileProgram(std::string_view code) {
  Program p;
  std::vector<std::string_view> parts = splitSections(code);
  if (parts.size() > kMaxSections || code.size() > kMaxFormatCodeBytes) p.valid = false;
  std::vector<Section> sections;
  for (std::size_t i = 0; p.valid && i < parts.size(); ++i) {
    std::string_view part = systemLongDate(parts[i]) ? kEnUsLongDate : parts[i];
    Section s;
    if (!parseSection(part, isDateSection(part), s)) p.valid = false;
    planNumber(s);
    planDate(s);
    sections.push_back(std::move(s));
  }
  if (!p.valid) {
    p.numeric.push_back(generalSection());
    return p;
  }
  bool lastIsText = sections.size() == kMaxSections ||
                    (sections.back().hasText &&
                     (sections.size() > 1 || sections.back().kind == SectionKind::Literal));
  if (lastIsText) {
    p.text = std::move(sections.back());
    p.hasTextSection = true;
    p.textIsFourth = sections.size() == kMaxSections;
    sections.pop_back();
  }
  if (sections.empty()) sections.push_back(generalSection());
  p.numeric = std::move(sections);
  p.date = std::any_of(p.numeric.begin(), p.numeric.end(),
                       [](const Section& s) { return s.kind == SectionKind::Date; });
  return p;
}

}  // namespace quorvel::spreadsheet::numfmt
