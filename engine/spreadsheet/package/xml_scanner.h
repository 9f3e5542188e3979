#pragma once
// A pull scanner for the large, flat XML parts of a package (worksheets,
// shared strings). It reads the part in one streaming pass through a bounded
// buffer and hands out tags and text as views into that buffer, so the hot
// path allocates nothing. It does what the sheets need of XML and no more:
// names lose their namespace prefix, attributes come in any order with either
// quote, comments and processing instructions are skipped, CDATA is text.
// A document type declaration is refused: no DTD, no entity expansion.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/spreadsheet/package/read_ahead.h"

namespace quorvel::spreadsheet {

class PartStream;

class XmlScanner {
 public:
  enum class Token { StartTag, EndTag, Text, End };
  struct Attribute {
    std::string_view name;   // local name
    std::string_view value;  // raw: entities not yet decoded
  };

  explicit XmlScanner(PartStream& stream);
  // Scans `bytes`, a piece of the part `partName` held in memory (which must
  // outlive the scanner); messages name that part.
  XmlScanner(std::string_view bytes, std::string partName);

  // The next token. Views handed out before stay valid only until this call.
  // Throws FormatError for damaged XML.
  Token next();

  std::string_view name() const { return name_; }  // tag's local name
  bool selfClosing() const { return selfClosing_; }
  const std::vector<Attribute>& attributes() const { return attrs_; }
  // The raw value of the attribute with this local name; `found` tells an
  // empty value from a missing one.
  std::string_view attribute(std::string_view localName, bool* found = nullptr) const;

  // Text tokens: raw character data, or a CDATA section's content.
  std::string_view text() const { return text_; }
  bool textIsVerbatim() const { return verbatim_; }
  // Appends the current text token with entities decoded.
  void appendText(std::string& out) const;

  // Right after a start tag: when the element's text and its end tag are
  // both in the buffer already, appends the text decoded, consumes the end
  // tag (as if next() had returned it) and returns true. The common
  // `<v>42</v>` then costs one search instead of two tokens. Otherwise
  // returns false having read nothing (markup inside, or the buffer ends).
  bool appendSimpleContent(std::string& out);

  // Fast paths for the short, plain markup that fills a sheet's cell data,
  // each worth one cheap look instead of a general token. When the bytes at
  // the current position are exactly what it reads (attributes in double
  // quotes after single spaces, no entity or CR in a text) and lie in the
  // buffer, it reads them as next() would, leaving the same state behind,
  // and returns true. Otherwise it returns false having read nothing, and
  // next() reads whatever is there.
  //
  // A start tag `<name ...>` or `<name .../>`, its attributes as next() gives.
  bool plainStartTag(std::string_view name);
  // `<name>text</name>`: appends the text and consumes the end tag.
  bool plainElement(std::string_view name, std::string& out);
  // An end tag `</name>`.
  bool plainEndTag(std::string_view name);

  // The bytes buffered from the current position on, and that position's
  // offset in the part: for a reader that looks ahead for hints, or reads a
  // shape of its own (then skip()s it). Valid until the next call that reads.
  std::string_view buffered() const { return {data_ + pos_, end_ - pos_}; }
  std::uint64_t offset() const { return dropped_ + pos_; }
  // The same, having read more when fewer than a plain tag's worth of bytes
  // were buffered.
  std::string_view window() {
    fillWindow();
    return buffered();
  }
  // Passes over `n` bytes of buffered(), which must be whole markup.
  void skip(std::size_t n) { pos_ += n; }

  // Appends `raw` with the five predefined entities and character references
  // decoded. Any other entity is damage.
  void appendDecoded(std::string_view raw, std::string& out) const;

  [[noreturn]] void fail(const std::string& what) const;

 private:
  // Moves the bytes from `keep` on to the buffer's front (updating `keep`),
  // then reads more. False at the end of the part.
  bool refill(std::size_t& keep);
  // Reads more when fewer than a plain tag's worth of bytes are buffered.
  void fillWindow() {
    if (end_ - pos_ < kPlainWindow && !eof_) {
      std::size_t keep = pos_;
      refill(keep);
    }
  }
  static constexpr std::size_t kPlainWindow = 512;
  enum class MarkupResult { Done, Skipped, NeedMore };
  MarkupResult scanMarkup(std::size_t start);

  std::string partName_;
  std::unique_ptr<ReadAhead> input_;  // none when scanning bytes in memory
  std::vector<char> buf_;             // empty when scanning bytes in memory
  const char* data_ = nullptr;        // buf_'s bytes, or those in memory
  std::size_t pos_ = 0, end_ = 0;
  std::uint64_t dropped_ = 0;  // bytes of the part before the buffer's first
  bool eof_ = false;

  Token kind_ = Token::End;
  std::string_view name_, text_;
  bool selfClosing_ = false, verbatim_ = false;
  std::vector<Attribute> attrs_;
};

}  // namespace quorvel::spreadsheet
