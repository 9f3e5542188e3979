#include "engine/spreadsheet/package/xml_scanner.h"

#include <algorithm>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "engine/spreadsheet/byte_search.h"
#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/limits.h"
#include "engine/spreadsheet/package/zip_package.h"
#include "engine/spreadsheet/unicode.h"

namespace quorvel::spreadsheet {

namespace {

inline bool isSpace(char c) {
  return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

// Whether `s` holds an '&' or a CR, sixteen bytes at a time where SSE2 is.
inline bool holdsAmpersandOrCr(std::string_view s) {
  const char* p = s.data();
  const char* end = p + s.size();
#ifdef __SSE2__
  const __m128i amp = _mm_set1_epi8('&'), cr = _mm_set1_epi8('\r');
  for (; end - p >= 16; p += 16) {
    __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i hits = _mm_or_si128(_mm_cmpeq_epi8(block, amp), _mm_cmpeq_epi8(block, cr));
    if (_mm_movemask_epi8(hits) != 0) return true;
  }
#endif
  for (; p < end; ++p)
    if (*p == '&' || *p == '\r') return true;
  return false;
}

// Whether `p` starts with `name`. Names here are a letter or three, too
// short for a call to memcmp to pay.
inline bool startsWith(const char* p, std::string_view name) {
  for (char c : name)
    if (*p++ != c) return false;
  return true;
}

inline std::string_view withoutPrefix(std::string_view name) {
  std::size_t colon = name.rfind(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

inline bool isNamespaceDeclaration(std::string_view name) {
  return name.size() >= 5 && name.compare(0, 5, "xmlns") == 0 &&
         (name.size() == 5 || name[5] == ':');
}

}  // namespace

XmlScanner::XmlScanner(PartStream& stream)
    : partName_(stream.partName()),
      input_(std::make_unique<ReadAhead>(stream)),
      // No larger than the part (its size is checked as it is read): each
      // page of a buffer costs a fault when it is zeroed, which on a small
      // workbook took longer than reading it.
      buf_(std::clamp<std::uint64_t>(stream.size() + 1, kMinXmlScanBufferBytes,
                                     kXmlScanBufferBytes)),
      data_(buf_.data()) {
  attrs_.reserve(16);
}

XmlScanner::XmlScanner(std::string_view bytes, std::string partName)
    : partName_(std::move(partName)),
      // Bytes in memory are scanned where they lie: all of them are
      // buffered from the start.
      data_(bytes.data()),
      end_(bytes.size()),
      eof_(true) {
  attrs_.reserve(16);
}

void XmlScanner::fail(const std::string& what) const {
  damaged(partText(partName_) + " " + what);
}

std::string_view XmlScanner::attribute(std::string_view localName, bool* found) const {
  for (const Attribute& a : attrs_)
    if (a.name == localName) {
      if (found) *found = true;
      return a.value;
    }
  if (found) *found = false;
  return {};
}

bool XmlScanner::refill(std::size_t& keep) {
  if (eof_) return false;
  std::size_t kept = end_ - keep;
  if (keep > 0 && kept > 0) std::memmove(buf_.data(), buf_.data() + keep, kept);
  dropped_ += keep;
  data_ = buf_.data();
  pos_ = pos_ >= keep ? pos_ - keep : 0;
  keep = 0;
  end_ = kept;
  if (end_ == buf_.size()) {
    // One token fills the whole buffer: grow, within reason.
    if (buf_.size() >= kMaxXmlTokenBytes)
      fail("has a tag or a text longer than " + std::to_string(kMaxXmlTokenBytes >> 20) + " MB");
    buf_.resize(std::min(buf_.size() * 2, kMaxXmlTokenBytes));
    data_ = buf_.data();
  }
  std::size_t got = input_->read(buf_.data() + end_, buf_.size() - end_);
  if (got == 0) {
    eof_ = true;
    return false;
  }
  end_ += got;
  return true;
}

XmlScanner::Token XmlScanner::next() {
  for (;;) {
    if (pos_ >= end_) {
      std::size_t from = pos_;
      if (!refill(from)) return Token::End;
    }
    const char* b = data_;
    if (b[pos_] != '<') {
      std::size_t start = pos_, scanFrom = pos_;
      for (;;) {
        const char* lt = findByte(b + scanFrom, b + end_, '<');
        if (lt) {
          std::size_t at = static_cast<std::size_t>(lt - b);
          text_ = std::string_view(b + start, at - start);
          pos_ = at;
          verbatim_ = false;
          return Token::Text;
        }
        std::size_t scanned = end_ - start;
        bool more = refill(start);
        b = data_;
        if (!more) {
          text_ = std::string_view(b + start, end_ - start);
          pos_ = end_;
          verbatim_ = false;
          return Token::Text;
        }
        scanFrom = start + scanned;
      }
    }
    std::size_t start = pos_;
    for (;;) {
      MarkupResult r = scanMarkup(start);
      if (r == MarkupResult::Done) return kind_;
      if (r == MarkupResult::Skipped) break;
      if (!refill(start)) fail("ends in the middle of a tag");
    }
  }
}

XmlScanner::MarkupResult XmlScanner::scanMarkup(std::size_t start) {
  const char* b = data_;
  const std::size_t end = end_;
  std::size_t p = start + 1;
  if (p >= end) return MarkupResult::NeedMore;
  std::string_view rest(b + p, end - p);

  if (b[p] == '/') {
    const char* gt = findByte(b + p, b + end, '>');
    if (!gt) return MarkupResult::NeedMore;
    std::size_t close = static_cast<std::size_t>(gt - b);
    std::string_view raw(b + p + 1, close - p - 1);
    while (!raw.empty() && isSpace(raw.back())) raw.remove_suffix(1);
    name_ = withoutPrefix(raw);
    attrs_.clear();
    selfClosing_ = false;
    pos_ = close + 1;
    kind_ = Token::EndTag;
    return MarkupResult::Done;
  }
  if (b[p] == '?') {
    std::size_t close = rest.find("?>");
    if (close == std::string_view::npos) return MarkupResult::NeedMore;
    pos_ = p + close + 2;
    return MarkupResult::Skipped;
  }
  if (b[p] == '!') {
    if (rest.size() < 3) return MarkupResult::NeedMore;
    if (rest.compare(0, 3, "!--") == 0) {
      std::size_t close = rest.find("-->", 3);
      if (close == std::string_view::npos) return MarkupResult::NeedMore;
      pos_ = p + close + 3;
      return MarkupResult::Skipped;
    }
    if (rest.size() < 8) return MarkupResult::NeedMore;
    if (rest.compare(0, 8, "![CDATA[") == 0) {
      std::size_t close = rest.find("]]>", 8);
      if (close == std::string_view::npos) return MarkupResult::NeedMore;
      text_ = rest.substr(8, close - 8);
      verbatim_ = true;
      pos_ = p + close + 3;
      kind_ = Token::Text;
      return MarkupResult::Done;
    }
    if (rest.compare(0, 8, "!DOCTYPE") == 0)
      fail("declares a document type, which a workbook never does");
    fail("holds markup that is not XML");
  }

  std::size_t q = p;
  while (q < end && !isSpace(b[q]) && b[q] != '/' && b[q] != '>') ++q;
  if (q >= end) return MarkupResult::NeedMore;
  if (q == p) fail("has a tag without a name");
  name_ = withoutPrefix(std::string_view(b + p, q - p));
  attrs_.clear();
  for (;;) {
    while (q < end && isSpace(b[q])) ++q;
    if (q >= end) return MarkupResult::NeedMore;
    if (b[q] == '>') {
      selfClosing_ = false;
      pos_ = q + 1;
      break;
    }
    if (b[q] == '/') {
      if (q + 1 >= end) return MarkupResult::NeedMore;
      if (b[q + 1] != '>')
        fail("has a malformed <" + printable(name_, kQuotedContentBytes) + "> tag");
      selfClosing_ = true;
      pos_ = q + 2;
      break;
    }
    std::size_t n0 = q;
    while (q < end && b[q] != '=' && !isSpace(b[q]) && b[q] != '>' && b[q] != '/') ++q;
    std::size_t n1 = q;
    while (q < end && isSpace(b[q])) ++q;
    if (q >= end) return MarkupResult::NeedMore;
    if (b[q] != '=' || n1 == n0)
      fail("has an attribute without a value in a <" + printable(name_, kQuotedContentBytes) +
           "> tag");
    ++q;
    while (q < end && isSpace(b[q])) ++q;
    if (q >= end) return MarkupResult::NeedMore;
    char quote = b[q];
    if (quote != '"' && quote != '\'')
      fail("has an attribute value without quotes in a <" + printable(name_, kQuotedContentBytes) +
           "> tag");
    const char* close = findByte(b + q + 1, b + end, quote);
    if (!close) return MarkupResult::NeedMore;
    std::size_t v1 = static_cast<std::size_t>(close - b);
    std::string_view attrName(b + n0, n1 - n0);
    if (!isNamespaceDeclaration(attrName))
      attrs_.push_back({withoutPrefix(attrName), std::string_view(b + q + 1, v1 - q - 1)});
    q = v1 + 1;
  }
  kind_ = Token::StartTag;
  return MarkupResult::Done;
}

bool XmlScanner::appendSimpleContent(std::string& out) {
  const char* b = data_;
  const char* end = b + end_;
  const char* lt = findByte(b + pos_, end, '<');
  if (!lt || end - lt < 2 || lt[1] != '/') return false;
  const char* gt = findByte(lt + 2, end, '>');
  if (!gt) return false;
  appendDecoded(std::string_view(b + pos_, static_cast<std::size_t>(lt - (b + pos_))), out);
  std::string_view raw(lt + 2, static_cast<std::size_t>(gt - lt - 2));
  while (!raw.empty() && isSpace(raw.back())) raw.remove_suffix(1);
  name_ = withoutPrefix(raw);
  attrs_.clear();
  selfClosing_ = false;
  pos_ = static_cast<std::size_t>(gt - b) + 1;
  kind_ = Token::EndTag;
  return true;
}

bool XmlScanner::plainStartTag(std::string_view name) {
  fillWindow();
  const char* p = data_ + pos_;
  const char* end = data_ + end_;
  if (static_cast<std::size_t>(end - p) < name.size() + 2 || p[0] != '<' ||
      !startsWith(p + 1, name))
    return false;
  const char* q = p + 1 + name.size();
  attrs_.clear();
  bool selfClosing;
  for (;;) {
    if (q >= end) return false;
    char c = *q;
    if (c == '>') {
      selfClosing = false;
      ++q;
      break;
    }
    if (c == '/') {
      if (q + 1 >= end || q[1] != '>') return false;
      selfClosing = true;
      q += 2;
      break;
    }
    if (c != ' ') return false;
    const char* n0 = ++q;
    while (q < end && *q != '=' && *q != ' ' && *q != '>' && *q != '/' && *q != '"') ++q;
    if (q == n0 || end - q < 2 || q[0] != '=' || q[1] != '"') return false;
    const char* close = findByte(q + 2, end, '"');
    if (!close) return false;
    std::string_view attrName(n0, static_cast<std::size_t>(q - n0));
    if (!isNamespaceDeclaration(attrName))
      attrs_.push_back({withoutPrefix(attrName),
                        std::string_view(q + 2, static_cast<std::size_t>(close - q - 2))});
    q = close + 1;
  }
  name_ = name;
  selfClosing_ = selfClosing;
  kind_ = Token::StartTag;
  pos_ = static_cast<std::size_t>(q - data_);
  return true;
}

bool XmlScanner::plainElement(std::string_view name, std::string& out) {
  fillWindow();
  const char* p = data_ + pos_;
  const char* end = data_ + end_;
  const std::size_t n = name.size();
  if (static_cast<std::size_t>(end - p) < 2 * n + 5 || p[0] != '<' || !startsWith(p + 1, name) ||
      p[n + 1] != '>')
    return false;
  const char* text = p + n + 2;
  const char* lt = findByte(text, end, '<');
  if (!lt || static_cast<std::size_t>(end - lt) < n + 3 || lt[1] != '/' ||
      !startsWith(lt + 2, name) || lt[n + 2] != '>')
    return false;
  std::string_view raw(text, static_cast<std::size_t>(lt - text));
  if (holdsAmpersandOrCr(raw)) return false;
  out.append(raw);
  name_ = name;
  attrs_.clear();
  selfClosing_ = false;
  kind_ = Token::EndTag;
  pos_ = static_cast<std::size_t>(lt + n + 3 - data_);
  return true;
}

bool XmlScanner::plainEndTag(std::string_view name) {
  fillWindow();
  const char* p = data_ + pos_;
  const std::size_t n = name.size();
  if (end_ - pos_ < n + 3 || p[0] != '<' || p[1] != '/' || !startsWith(p + 2, name) ||
      p[n + 2] != '>')
    return false;
  name_ = name;
  attrs_.clear();
  selfClosing_ = false;
  kind_ = Token::EndTag;
  pos_ += n + 3;
  return true;
}

namespace {

// XML reads every line end (CR LF or a lone CR) as one LF.
void appendLines(std::string_view raw, std::string& out) {
  for (;;) {
    std::size_t cr = raw.find('\r');
    if (cr == std::string_view::npos) {
      out.append(raw);
      return;
    }
    out.append(raw.substr(0, cr));
    out += '\n';
    raw.remove_prefix(cr + (cr + 1 < raw.size() && raw[cr + 1] == '\n' ? 2 : 1));
  }
}

}  // namespace

void XmlScanner::appendText(std::string& out) const {
  if (verbatim_)
    appendLines(text_, out);
  else
    appendDecoded(text_, out);
}

void XmlScanner::appendDecoded(std::string_view raw, std::string& out) const {
  // Most texts (numbers, plain words) hold neither entities nor line ends.
  if (!holdsAmpersandOrCr(raw)) {
    out.append(raw);
    return;
  }
  std::size_t i = 0;
  for (;;) {
    std::size_t amp = raw.find('&', i);
    if (amp == std::string_view::npos) {
      appendLines(raw.substr(i), out);
      return;
    }
    appendLines(raw.substr(i, amp - i), out);
    std::size_t semi = raw.find(';', amp);
    if (semi == std::string_view::npos || semi - amp > 12) fail("has an '&' that starts no entity");
    std::string_view ent = raw.substr(amp + 1, semi - amp - 1);
    if (ent == "amp")
      out += '&';
    else if (ent == "lt")
      out += '<';
    else if (ent == "gt")
      out += '>';
    else if (ent == "quot")
      out += '"';
    else if (ent == "apos")
      out += '\'';
    else if (!ent.empty() && ent[0] == '#') {
      bool hex = ent.size() > 1 && (ent[1] == 'x' || ent[1] == 'X');
      std::string_view digits = ent.substr(hex ? 2 : 1);
      char32_t cp = 0;
      for (char c : digits) {
        int d;
        if (c >= '0' && c <= '9')
          d = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
          d = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
          d = c - 'A' + 10;
        else
          fail("has a malformed character reference '&" + std::string(ent) + ";'");
        cp = cp * (hex ? 16 : 10) + static_cast<char32_t>(d);
        if (cp > 0x10FFFF) break;
      }
      if (digits.empty() || cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        fail("has a character reference to no character ('&" + std::string(ent) + ";')");
      appendUtf8(cp, out);
    } else {
      fail("refers to the undefined entity '&" + std::string(ent) + ";'");
    }
    i = semi + 1;
  }
}

}  // namespace quorvel::spreadsheet
