#include "tests/support/zip_writer.h"

#include <zip.h>

#include <algorithm>
#include <stdexcept>

namespace quorvel::test {

void writeZip(const std::string& path, const std::vector<ZipEntry>& entries) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!archive) throw std::runtime_error("cannot create " + path);
  for (const ZipEntry& e : entries) {
    // The buffers stay alive until zip_close, which does the writing.
    zip_source_t* src = zip_source_buffer(archive, e.content.data(), e.content.size(), 0);
    zip_int64_t index = src ? zip_file_add(archive, e.name.c_str(), src, ZIP_FL_ENC_UTF_8) : -1;
    if (index < 0) {
      if (src) zip_source_free(src);
      zip_discard(archive);
      throw std::runtime_error("cannot add " + e.name + " to " + path);
    }
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(index),
                             e.stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
  }
  if (zip_close(archive) != 0) {
    zip_discard(archive);
    throw std::runtime_error("cannot write " + path);
  }
}

namespace {

const char* kRelsNs = "http://schemas.openxmlformats.org/package/2006/relationships";

struct Namespaces {
  std::string main, rel, relType, prefix;
};

Namespaces namespacesFor(bool strict) {
  if (strict)
    return {"http://purl.oclc.org/ooxml/spreadsheetml/main",
            "http://purl.oclc.org/ooxml/officeDocument/relationships",
            "http://purl.oclc.org/ooxml/officeDocument/relationships/", "x:"};
  return {"http://schemas.openxmlformats.org/spreadsheetml/2006/main",
          "http://schemas.openxmlformats.org/officeDocument/2006/relationships",
          "http://schemas.openxmlformats.org/officeDocument/2006/relationships/", ""};
}

std::string relationship(const std::string& id, const std::string& type,
                         const std::string& target) {
  return "<Relationship Id=\"" + id + "\" Type=\"" + type + "\" Target=\"" + target + "\"/>";
}

}  // namespace

XlsxBuilder& XlsxBuilder::worksheet(const std::string& name, const std::string& sheetData,
                                    const std::string& state) {
  sheets_.push_back({name, "worksheet", state, "\x01" + sheetData});
  return *this;
}

XlsxBuilder& XlsxBuilder::worksheetXml(const std::string& name, const std::string& xml) {
  sheets_.push_back({name, "worksheet", "", xml});
  return *this;
}

XlsxBuilder& XlsxBuilder::otherSheet(const std::string& name, const std::string& kind) {
  sheets_.push_back({name, kind, "", ""});
  return *this;
}

XlsxBuilder& XlsxBuilder::sharedStrings(const std::string& items) {
  strings_ = items;
  haveStrings_ = true;
  return *this;
}

XlsxBuilder& XlsxBuilder::styles(const std::string& content) {
  styles_ = content;
  haveStyles_ = true;
  return *this;
}

XlsxBuilder& XlsxBuilder::date1904() {
  date1904_ = true;
  return *this;
}

XlsxBuilder& XlsxBuilder::strict() {
  strict_ = true;
  return *this;
}

XlsxBuilder& XlsxBuilder::replacePart(const std::string& name, const std::string& content) {
  replaced_.emplace_back(name, content);
  return *this;
}

XlsxBuilder& XlsxBuilder::dropPart(const std::string& name) {
  dropped_.push_back(name);
  return *this;
}

XlsxBuilder& XlsxBuilder::renameEntry(const std::string& from, const std::string& to) {
  renamed_.emplace_back(from, to);
  return *this;
}

std::vector<ZipEntry> XlsxBuilder::entries() const {
  const Namespaces ns = namespacesFor(strict_);
  const std::string& p = ns.prefix;
  const std::string decl = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
  const std::string xmlns = strict_ ? " xmlns:x=\"" + ns.main + "\"" : " xmlns=\"" + ns.main + "\"";
  std::vector<ZipEntry> out;

  out.push_back({"[Content_Types].xml",
                 decl +
                     "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                     "content-types\"><Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                     "<Default Extension=\"rels\" ContentType=\"application/"
                     "vnd.openxmlformats-package.relationships+xml\"/></Types>"});
  out.push_back(
      {"_rels/.rels", decl + "<Relationships xmlns=\"" + kRelsNs + "\">" +
                          relationship("rId1", ns.relType + "officeDocument", "xl/workbook.xml") +
                          "</Relationships>"});

  std::string book = decl + "<" + p + "workbook" + xmlns + " xmlns:r=\"" + ns.rel + "\">";
  if (date1904_) book += "<" + p + "workbookPr date1904=\"" + (strict_ ? "true" : "1") + "\"/>";
  book += "<" + p + "sheets>";
  std::string rels = decl + "<Relationships xmlns=\"" + kRelsNs + "\">";
  std::vector<ZipEntry> sheetParts;
  int worksheetNo = 0, otherNo = 0;
  for (std::size_t i = 0; i < sheets_.size(); ++i) {
    const Sheet& s = sheets_[i];
    std::string id = "rId" + std::to_string(i + 10);
    book += "<" + p + "sheet name=\"" + s.name + "\" sheetId=\"" + std::to_string(i + 1) + "\"" +
            (s.state.empty() ? "" : " state=\"" + s.state + "\"") + " r:id=\"" + id + "\"/>";
    std::string target;
    if (s.kind == "worksheet") {
      target = "worksheets/sheet" + std::to_string(++worksheetNo) + ".xml";
      std::string xml = s.xml;
      if (!xml.empty() && xml[0] == '\x01')
        xml = decl + "<" + p + "worksheet" + xmlns + "><" + p + "sheetData>" + xml.substr(1) +
              "</" + p + "sheetData></" + p + "worksheet>";
      sheetParts.push_back({"xl/" + target, xml});
    } else {
      target = s.kind + "s/sheet" + std::to_string(++otherNo) + ".xml";
      sheetParts.push_back({"xl/" + target, decl + "<" + p + s.kind + xmlns + "/>"});
    }
    rels += relationship(id, ns.relType + s.kind, target);
  }
  book += "</" + p + "sheets></" + p + "workbook>";
  if (haveStrings_) {
    rels += relationship("rId1", ns.relType + "sharedStrings", "sharedStrings.xml");
    out.push_back({"xl/sharedStrings.xml",
                   decl + "<" + p + "sst" + xmlns + ">" + strings_ + "</" + p + "sst>"});
  }
  if (haveStyles_) {
    rels += relationship("rId2", ns.relType + "styles", "styles.xml");
    out.push_back({"xl/styles.xml", decl + "<" + p + "styleSheet" + xmlns + ">" + styles_ + "</" +
                                        p + "styleSheet>"});
  }
  rels += "</Relationships>";
  out.push_back({"xl/workbook.xml", book});
  out.push_back({"xl/_rels/workbook.xml.rels", rels});
  for (ZipEntry& e : sheetParts) out.push_back(std::move(e));

  for (const auto& part : replaced_) {  // clang 14 lambdas cannot capture structured bindings
    const std::string& name = part.first;
    auto it =
        std::find_if(out.begin(), out.end(), [&](const ZipEntry& e) { return e.name == name; });
    if (it != out.end())
      it->content = part.second;
    else
      out.push_back({name, part.second});
  }
  for (const std::string& name : dropped_)
    out.erase(
        std::remove_if(out.begin(), out.end(), [&](const ZipEntry& e) { return e.name == name; }),
        out.end());
  for (const auto& [from, to] : renamed_)
    for (ZipEntry& e : out)
      if (e.name == from) e.name = to;
  return out;
}

void XlsxBuilder::write(const std::string& path) const {
  writeZip(path, entries());
}

}  // namespace quorvel::test
