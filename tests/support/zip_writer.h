#pragma once
// Small zip packages written by the tests themselves: any part names,
// stored or deflated, and a SpreadsheetML workbook builder on top.
#include <string>
#include <vector>

namespace quorvel::test {

struct ZipEntry {
  std::string name;
  std::string content;
  bool stored = false;  // stored instead of deflated
};

// Writes the entries, in order, as a zip archive at `path`.
void writeZip(const std::string& path, const std::vector<ZipEntry>& entries);

// A minimal .xlsx: content types, package and workbook relationships, the
// workbook, its sheets and, when given, shared strings and styles. Parts can
// be replaced, added or dropped to make damaged or unusual packages.
class XlsxBuilder {
 public:
  // A worksheet; `sheetData` is the XML inside <sheetData>.
  XlsxBuilder& worksheet(const std::string& name, const std::string& sheetData,
                         const std::string& state = "");
  // A worksheet part given whole (the XML of <worksheet>).
  XlsxBuilder& worksheetXml(const std::string& name, const std::string& xml);
  // A sheet of another kind: "chartsheet", "dialogsheet", "xlMacrosheet".
  XlsxBuilder& otherSheet(const std::string& name, const std::string& kind);
  XlsxBuilder& sharedStrings(const std::string& items);  // the XML inside <sst>
  XlsxBuilder& styles(const std::string& content);       // the XML inside <styleSheet>
  XlsxBuilder& date1904();
  // Writes every part with the strict namespaces and an "x:" prefix.
  XlsxBuilder& strict();
  XlsxBuilder& replacePart(const std::string& name, const std::string& content);
  XlsxBuilder& dropPart(const std::string& name);
  // Renames a part's zip entry (the relationships keep the usual name).
  XlsxBuilder& renameEntry(const std::string& from, const std::string& to);

  std::vector<ZipEntry> entries() const;
  void write(const std::string& path) const;

 private:
  struct Sheet {
    std::string name, kind, state, xml;
  };
  std::vector<Sheet> sheets_;
  std::string strings_, styles_;
  bool haveStrings_ = false, haveStyles_ = false, date1904_ = false, strict_ = false;
  std::vector<std::pair<std::string, std::string>> replaced_, renamed_;
  std::vector<std::string> dropped_;
};

}  // namespace quorvel::test
