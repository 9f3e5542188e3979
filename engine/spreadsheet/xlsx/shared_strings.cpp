#include "engine/spreadsheet/xlsx/shared_strings.h"

#include "engine/spreadsheet/byte_search.h"
#include "engine/spreadsheet/limits.h"
#include "engine/spreadsheet/package/xml_scanner.h"
#include "engine/spreadsheet/package/zip_package.h"
#include "engine/spreadsheet/xlsx/ooxml_values.h"

namespace quorvel::spreadsheet::xlsx {

namespace {

// An item written as one run without entities or CRs, <si><t>text</t></si>
// (or <t xml:space="preserve">): its string goes to `item` and its length is
// returned; 0 for any other shape, which the general way reads.
std::size_t plainItem(std::string_view bytes, std::string& item) {
  static constexpr std::string_view kStarts[] = {"<si><t>", "<si><t xml:space=\"preserve\">"};
  static constexpr std::string_view kEnd = "</t></si>";
  for (std::string_view start : kStarts) {
    if (!bytes.starts_with(start)) continue;
    const char* text = bytes.data() + start.size();
    const char* end = bytes.data() + bytes.size();
    const char* lt = findByteBefore(text, end, '<', '&', '\r');
    if (!lt ||
        std::string_view(lt, static_cast<std::size_t>(end - lt)).substr(0, kEnd.size()) != kEnd)
      return 0;
    item.clear();
    appendUnescaped(std::string_view(text, static_cast<std::size_t>(lt - text)), item);
    return static_cast<std::size_t>(lt - bytes.data()) + kEnd.size();
  }
  return 0;
}

}  // namespace

void readSharedStrings(PartStream& stream, StringTable& table) {
  using T = XmlScanner::Token;
  XmlScanner xml(stream);
  std::string raw, item;
  int phonetic = 0;     // depth inside <rPh>, whose text is a reading aid, not content
  bool inItem = false;  // inside <si>
  for (;;) {
    if (!inItem) {
      // Nearly every item is one plain run, read at once.
      if (std::size_t n = plainItem(xml.window(), item)) {
        table.append(item);
        xml.skip(n);
        continue;
      }
    }
    T token = xml.next();
    if (token == T::End) break;
    if (token == T::StartTag) {
      std::string_view name = xml.name();
      if (name == "si") {
        raw.clear();
        inItem = !xml.selfClosing();
        phonetic = 0;
        if (!inItem) table.append("");
      } else if (name == "rPh") {
        if (!xml.selfClosing()) ++phonetic;
      } else if (name == "t" && inItem && phonetic == 0 && !xml.selfClosing()) {
        // The text of one <t>, possibly in several tokens (comments, CDATA).
        for (T t = xml.next(); t != T::EndTag; t = xml.next()) {
          if (t == T::End) xml.fail("ends inside a string");
          if (t == T::Text) xml.appendText(raw);
        }
        // Runs join into one string: bound it as one token is bounded.
        if (raw.size() > kMaxXmlTokenBytes)
          xml.fail("has a shared string longer than " + std::to_string(kMaxXmlTokenBytes >> 20) +
                   " MB");
      }
    } else if (token == T::EndTag) {
      std::string_view name = xml.name();
      if (name == "si" && inItem) {
        item.clear();
        appendUnescaped(raw, item);
        table.append(item);
        inItem = false;
      } else if (name == "rPh" && phonetic > 0) {
        --phonetic;
      }
    }
  }
  if (inItem) xml.fail("ends inside a string");
}

}  // namespace quorvel::spreadsheet::xlsx
