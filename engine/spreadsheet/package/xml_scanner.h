#pragma once
// A pull scanner for the large, flat XML parts of a package (worksheets,
// shared strings). It reads the part in one streaming pass through a bounded
// buffer and hands out tags and text as views into that buffer, so the hot
// path allocates nothing. It does what the sheets need of XML and no more:
// names lose their namespace prefix, attributes come in any order with either
// quote, comments and processing instructions are skipped, CDATA is text.
// A document type declaration is refused: no DTD, no entity expansion.
#include <cstddef>
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

  // Appends `raw` with the five predefined entities and character references
  // decoded. Any other entity is damage.
  void appendDecoded(std::string_view raw, std::string& out) const;

  [[noreturn]] void fail(const std::string& what) const;

 private:
  // Moves the bytes from `keep` on to the buffer's front (updating `keep`),
  // then reads more. False at the end of the part.
  bool refill(std::size_t& keep);
  enum class MarkupResult { Done, Skipped, NeedMore };
  MarkupResult scanMarkup(std::size_t start);

  std::string partName_;
  std::unique_ptr<ReadAhead> input_;  // none when scanning bytes in memory
  std::string_view memory_;           // the bytes in memory not yet scanned
  std::vector<char> buf_;
  std::size_t pos_ = 0, end_ = 0;
  bool eof_ = false;

  Token kind_ = Token::End;
  std::string_view name_, text_;
  bool selfClosing_ = false, verbatim_ = false;
  std::vector<Attribute> attrs_;
};

}  // namespace quorvel::spreadsheet
