// The pull scanner that reads worksheets and shared strings: the XML that
// writers produce and the damage that broken files hold.
#include "engine/spreadsheet/package/xml_scanner.h"

#include <gtest/gtest.h>

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/package/read_ahead.h"
#include "engine/spreadsheet/package/zip_package.h"
#include "tests/support/test_support.h"
#include "tests/support/zip_writer.h"

namespace quorvel::spreadsheet {
namespace {

using T = XmlScanner::Token;

// Every token of `xml` as one line each: "<name a=v b=w>" (values decoded),
// "<name/>", "</name>", "text" (decoded).
std::string scan(const std::string& xml, bool stored = false) {
  test::TempDir dir;
  std::string path = dir.file("p.zip");
  test::writeZip(path, {{"part.xml", xml, stored}});
  auto package = ZipPackage::open(path);
  auto stream = package->openPart("part.xml");
  XmlScanner scanner(*stream);
  std::string out;
  for (T t = scanner.next(); t != T::End; t = scanner.next()) {
    if (t == T::Text) {
      scanner.appendText(out);
    } else if (t == T::EndTag) {
      out.append("</").append(scanner.name()).append(">");
    } else {
      out.append("<").append(scanner.name());
      for (const auto& a : scanner.attributes()) {
        out.append(" ").append(a.name).append("=");
        scanner.appendDecoded(a.value, out);
      }
      out += scanner.selfClosing() ? "/>" : ">";
    }
    out += '|';
  }
  return out;
}

std::string errorOf(const std::string& xml) {
  try {
    scan(xml);
  } catch (const FormatError& e) {
    return e.what();
  }
  return "no error";
}

TEST(XmlScanner, ReadsTagsAttributesAndTextAsWritersProduceThem) {
  EXPECT_EQ(scan("<?xml version=\"1.0\"?>\r\n<x:c t='s' r = \"A1\" xmlns:x=\"urn:x\" "
                 "s=\"1\"><x:v>12</x:v></x:c>"),
            "\n|<c t=s r=A1 s=1>|<v>|12|</v>|</c>|");
  EXPECT_EQ(scan("<a><!-- <b>not a tag</b> --><b x=\"a>b\"/><![CDATA[<raw> &amp;]]></a>"),
            "<a>|<b x=a>b/>|<raw> &amp;|</a>|");
}

TEST(XmlScanner, DecodesEntitiesCharacterReferencesAndLineEnds) {
  EXPECT_EQ(scan("<t a=\"&quot;&amp;&#65;\">&lt;&gt;&apos;&#x263A;&#128512;\r\nx\ry</t>"),
            "<t a=\"&A>|<>'\xe2\x98\xba\xf0\x9f\x98\x80\nx\ny|</t>|");
}

TEST(XmlScanner, TokensAcrossTheReadAheadBufferArriveWhole) {
  // Far more than the scanner's buffer, with tags and texts of many lengths,
  // so that every kind of token straddles a refill somewhere.
  std::string xml = "<sheetData>";
  std::string expected = "<sheetData>|";
  for (int i = 0; i < 40000; ++i) {
    std::string value = std::to_string(i * 7919) + std::string(i % 13, 'x');
    xml += "<c r=\"A" + std::to_string(i) + "\" s='" + std::to_string(i % 5) + "'><v>" + value +
           "&amp;</v></c><!-- " + std::string(i % 17, '-') + " -->";
    expected += "<c r=A" + std::to_string(i) + " s=" + std::to_string(i % 5) + ">|<v>|" + value +
                "&|</v>|</c>|";
  }
  xml += "</sheetData>";
  expected += "</sheetData>|";
  EXPECT_EQ(scan(xml), expected);
  EXPECT_EQ(scan(xml, true), expected);
}

// As scan(), but the text of every <v> is taken through appendSimpleContent
// where it can be; `fast` counts the elements read that way.
std::string scanSimple(const std::string& xml, int& fast) {
  test::TempDir dir;
  std::string path = dir.file("p.zip");
  test::writeZip(path, {{"part.xml", xml, false}});
  auto package = ZipPackage::open(path);
  auto stream = package->openPart("part.xml");
  XmlScanner scanner(*stream);
  std::string out;
  fast = 0;
  for (T t = scanner.next(); t != T::End; t = scanner.next()) {
    if (t == T::Text) {
      scanner.appendText(out);
    } else if (t == T::EndTag) {
      out.append("</").append(scanner.name()).append(">");
    } else {
      out.append("<").append(scanner.name()).append(scanner.selfClosing() ? "/>" : ">");
      if (scanner.name() == "v" && !scanner.selfClosing()) {
        std::string text;
        if (scanner.appendSimpleContent(text)) {
          ++fast;
          out += '|';
          EXPECT_EQ(scanner.name(), "v");
          if (!text.empty()) out.append(text).append("|");
          out.append("</").append(scanner.name()).append(">");
        }
      }
    }
    out += '|';
  }
  return out;
}

TEST(XmlScanner, SimpleContentReadsTheSameAsTokensAndStepsAsideForMarkup) {
  int fast = 0;
  EXPECT_EQ(scanSimple("<c><v>1 &amp; 2&#x41;\r\n</x:v ><v></v></c>", fast),
            "<c>|<v>|1 & 2A\n|</v>|<v>|</v>|</c>|");
  EXPECT_EQ(fast, 2);
  for (const char* xml : {"<c><v>a<!-- b -->c</v></c>", "<c><v><![CDATA[<x>]]></v></c>",
                          "<c><v>a<i/>b</v></c>", "<c><v><w>7</w></v></c>"}) {
    EXPECT_EQ(scanSimple(xml, fast), scan(xml)) << xml;
    EXPECT_EQ(fast, 0) << xml;
  }
  EXPECT_THROW(scanSimple("<v>&bogus;</v>", fast), FormatError);
  std::string many = "<s>";  // some elements straddle the scanner's buffer
  for (int i = 0; i < 40000; ++i) many += "<c><v>" + std::to_string(i * 7919) + ".25</v></c>";
  many += "</s>";
  EXPECT_TRUE(scanSimple(many, fast) == scan(many));  // too long to print
  EXPECT_GT(fast, 39000);
}

// As scan(), but every step first tries the plain fast paths a sheet's cell
// data takes (<c>, <row>, <v>text</v>, </c>, </row>); `plain` counts the
// steps they took. `inMemory` scans the bytes where they lie.
std::string scanPlain(const std::string& xml, int& plain, bool inMemory) {
  test::TempDir dir;
  std::string path = dir.file("p.zip");
  test::writeZip(path, {{"part.xml", xml, false}});
  auto package = ZipPackage::open(path);
  auto stream = package->openPart("part.xml");
  std::unique_ptr<XmlScanner> owned = inMemory ? std::make_unique<XmlScanner>(xml, "part.xml")
                                               : std::make_unique<XmlScanner>(*stream);
  XmlScanner& scanner = *owned;
  std::string out;
  plain = 0;
  auto startTag = [&] {
    out.append("<").append(scanner.name());
    for (const auto& a : scanner.attributes()) {
      out.append(" ").append(a.name).append("=");
      scanner.appendDecoded(a.value, out);
    }
    out += scanner.selfClosing() ? "/>|" : ">|";
  };
  for (;;) {
    std::string text;
    if (scanner.plainStartTag("c") || scanner.plainStartTag("row")) {
      startTag();
    } else if (scanner.plainElement("v", text)) {
      out += "<v>|";
      if (!text.empty()) out.append(text).append("|");
      out += "</v>|";
    } else if (scanner.plainEndTag("c") || scanner.plainEndTag("row")) {
      out.append("</").append(scanner.name()).append(">|");
    } else {
      T t = scanner.next();
      if (t == T::End) break;
      if (t == T::Text) {
        scanner.appendText(out);
        out += '|';
      } else if (t == T::EndTag) {
        out.append("</").append(scanner.name()).append(">|");
      } else {
        startTag();
      }
      continue;
    }
    ++plain;
  }
  return out;
}

TEST(XmlScanner, PlainCellMarkupReadsTheSameAsTokensAndStepsAsideForTheRest) {
  int plain = 0;
  for (bool inMemory : {false, true}) {
    // What writers put in cell data: every step plain.
    std::string common =
        "<row r=\"1\" spans=\"1:3\" x14ac:dyDescent=\"0.25\"><c r=\"A1\" s=\"2\" t=\"s\">"
        "<v>12</v></c><c r=\"B1\"/><c r=\"C1\"></c></row><row r=\"2\"/>";
    EXPECT_EQ(scanPlain(common, plain, inMemory), scan(common)) << inMemory;
    EXPECT_EQ(plain, 9) << inMemory;
    // Anything else goes the general way and reads the same: single quotes,
    // tabs and line ends between attributes, prefixed names, namespace
    // declarations, entities and CRs in values, names that only start alike,
    // comments, <v/>, markup inside a value, an attribute without quotes.
    for (const char* xml :
         {"<c r='A1'><v>1</v></c>", "<c\tr=\"A1\"\n s=\"1\"><v>1</v></c>", "<x:c r=\"A1\"/>",
          "<c xmlns:x=\"urn:x\" x:r=\"B2\"><v>1</v></c>", "<c><v>1 &amp; 2</v></c>",
          "<c><v>a\r\nb</v></c>", "<col min=\"1\"/><cx/><rows/><v>1</vx>",
          "<c><!-- x --><v>2</v><f>A1</f></c>", "<c><v/></c>", "<c><v>1<b/>2</v></c>",
          "<c r=\"A1\" ><v >3</v ></c >", "<c r=A1/>", "<c r=\"A1\"/"}) {
      std::string expected;
      try {
        expected = scan(xml);
      } catch (const FormatError& e) {
        expected = std::string("error: ") + e.what();
      }
      std::string got;
      try {
        got = scanPlain(xml, plain, inMemory);
      } catch (const FormatError& e) {
        got = std::string("error: ") + e.what();
      }
      EXPECT_EQ(got, expected) << xml << (inMemory ? " in memory" : "");
    }
  }
  // Plain markup straddling the read-ahead buffer everywhere.
  std::string many = "<sheetData>";
  for (int i = 0; i < 30000; ++i)
    many += "<row r=\"" + std::to_string(i + 1) + "\"><c r=\"A" + std::to_string(i + 1) +
            "\" t=\"s\"><v>" + std::to_string(i * 7919) + std::string(i % 11, '7') +
            "</v></c></row>";
  many += "</sheetData>";
  EXPECT_TRUE(scanPlain(many, plain, false) == scan(many));  // too long to print
  EXPECT_EQ(plain, 30000 * 5);
}

TEST(XmlScanner, RefusesDocumentTypesUndefinedEntitiesAndTruncatedTags) {
  const std::string part = "the part part.xml ";
  EXPECT_EQ(errorOf("<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\">]><a>&lol;</a>"),
            part + "declares a document type, which a workbook never does");
  EXPECT_EQ(errorOf("<a>&lol;</a>"), part + "refers to the undefined entity '&lol;'");
  EXPECT_EQ(errorOf("<a>AT&T</a>"), part + "has an '&' that starts no entity");
  EXPECT_EQ(errorOf("<a>&#0;</a>"), part + "has a character reference to no character ('&#0;')");
  EXPECT_EQ(errorOf("<a>&#xD800;</a>"),
            part + "has a character reference to no character ('&#xD800;')");
  EXPECT_EQ(errorOf("<a>&#12a;</a>"), part + "has a malformed character reference '&#12a;'");
  EXPECT_EQ(errorOf("<a><b c=\"1"), part + "ends in the middle of a tag");
  EXPECT_EQ(errorOf("<a><!-- open comment"), part + "ends in the middle of a tag");
  EXPECT_EQ(errorOf("<a b=1/>"), part + "has an attribute value without quotes in a <a> tag");
  EXPECT_EQ(errorOf("<a b/>"), part + "has an attribute without a value in a <a> tag");
  EXPECT_EQ(errorOf("< a/>"), part + "has a tag without a name");
  EXPECT_EQ(errorOf("<a><!ELEMENT a ANY></a>"), part + "holds markup that is not XML");
}

}  // namespace
}  // namespace quorvel::spreadsheet

namespace quorvel::spreadsheet {
namespace {

std::string readAll(ReadAhead& in, std::size_t piece) {
  std::string out;
  std::vector<char> buf(piece);
  while (std::size_t n = in.read(buf.data(), buf.size())) out.append(buf.data(), n);
  return out;
}

TEST(ReadAhead, HandsOverEveryByteInOrderAndRaisesTheStreamsErrors) {
  std::string data;
  for (int i = 0; data.size() < 3'000'000; ++i) data += std::to_string(i * 2654435761u) + ';';
  test::TempDir dir;
  std::string path = dir.file("p.zip");
  test::writeZip(path, {{"big.xml", data, true}, {"small.xml", "tiny", false}});
  auto package = ZipPackage::open(path);
  for (std::size_t piece : {std::size_t(1000), std::size_t(1) << 20}) {
    auto stream = package->openPart("big.xml");
    ReadAhead in(*stream);
    EXPECT_EQ(readAll(in, piece), data);
  }
  {
    auto stream = package->openPart("small.xml");
    ReadAhead in(*stream);
    EXPECT_EQ(readAll(in, 3), "tiny");
  }
  {
    auto stream = package->openPart("big.xml");
    ReadAhead in(*stream);  // left half read: the destructor stops the thread
    char buf[10];
    EXPECT_EQ(in.read(buf, sizeof buf), sizeof buf);
  }
  // A stored part with a changed byte fails its CRC check at the end.
  std::string bytes = test::readFile(path);
  std::size_t at = bytes.find("2654435761;") + 3;  // inside big.xml's data
  bytes[at] = bytes[at] == '1' ? '2' : '1';
  test::writeFile(path, bytes);
  auto damagedPackage = ZipPackage::open(path);
  auto stream = damagedPackage->openPart("big.xml");
  ReadAhead in(*stream);
  try {
    readAll(in, 4096);
    FAIL() << "no error";
  } catch (const FormatError& e) {
    EXPECT_EQ(std::string(e.what()), "the part big.xml fails its CRC check");
  }
}

}  // namespace
}  // namespace quorvel::spreadsheet
