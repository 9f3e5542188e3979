#include "engine/spreadsheet/package/xml_parser.h"

#include <expat.h>

#include <cstring>
#include <memory>

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/package/zip_package.h"

namespace quorvel::spreadsheet {

std::string_view localName(std::string_view name) {
  std::size_t colon = name.rfind(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

const char* findAttr(const char** attrs, std::string_view name) {
  for (; attrs && attrs[0]; attrs += 2)
    if (localName(attrs[0]) == name) return attrs[1];
  return nullptr;
}

namespace {

struct ParserDeleter {
  void operator()(XML_Parser p) const { XML_ParserFree(p); }
};

struct Context {
  XML_Parser parser;
  XmlHandler* handler;
  bool refusedDtd = false;
  std::exception_ptr error;
};

void XMLCALL onStart(void* data, const XML_Char* name, const XML_Char** attrs) {
  auto* ctx = static_cast<Context*>(data);
  try {
    ctx->handler->startElement(localName(name), attrs);
  } catch (...) {
    ctx->error = std::current_exception();
    XML_StopParser(ctx->parser, XML_FALSE);
  }
}

void XMLCALL onEnd(void* data, const XML_Char* name) {
  auto* ctx = static_cast<Context*>(data);
  try {
    ctx->handler->endElement(localName(name));
  } catch (...) {
    ctx->error = std::current_exception();
    XML_StopParser(ctx->parser, XML_FALSE);
  }
}

void XMLCALL onText(void* data, const XML_Char* s, int len) {
  auto* ctx = static_cast<Context*>(data);
  try {
    ctx->handler->characters(std::string_view(s, static_cast<std::size_t>(len)));
  } catch (...) {
    ctx->error = std::current_exception();
    XML_StopParser(ctx->parser, XML_FALSE);
  }
}

void XMLCALL onDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
  auto* ctx = static_cast<Context*>(data);
  ctx->refusedDtd = true;
  XML_StopParser(ctx->parser, XML_FALSE);
}

class Parser {
 public:
  Parser(XmlHandler& handler, std::string_view partName) : name_(partName) {
    parser_.reset(XML_ParserCreate("UTF-8"));
    if (!parser_) throw std::bad_alloc();
    ctx_.parser = parser_.get();
    ctx_.handler = &handler;
    XML_SetUserData(parser_.get(), &ctx_);
    XML_SetElementHandler(parser_.get(), onStart, onEnd);
    XML_SetCharacterDataHandler(parser_.get(), onText);
    XML_SetStartDoctypeDeclHandler(parser_.get(), onDoctype);
    XML_SetParamEntityParsing(parser_.get(), XML_PARAM_ENTITY_PARSING_NEVER);
  }

  void feed(const char* data, std::size_t len, bool last) {
    // expat takes int lengths: feed large buffers in pieces.
    do {
      std::size_t piece = std::min<std::size_t>(len, 1u << 30);
      bool final = last && piece == len;
      if (XML_Parse(parser_.get(), data, static_cast<int>(piece), final) != XML_STATUS_OK) raise();
      data += piece;
      len -= piece;
    } while (len > 0);
  }

 private:
  [[noreturn]] void raise() {
    if (ctx_.error) std::rethrow_exception(ctx_.error);
    if (ctx_.refusedDtd)
      damaged(partText(name_) + " declares a document type, which a workbook never does");
    damaged(partText(name_) + " is not well-formed XML (" +
            XML_ErrorString(XML_GetErrorCode(parser_.get())) + " at line " +
            std::to_string(XML_GetCurrentLineNumber(parser_.get())) + ")");
  }

  std::unique_ptr<XML_ParserStruct, ParserDeleter> parser_;
  Context ctx_{};
  std::string name_;
};

}  // namespace

void parseXml(std::string_view data, XmlHandler& handler, std::string_view partName) {
  Parser p(handler, partName);
  p.feed(data.data(), data.size(), true);
}

void parseXml(PartStream& stream, XmlHandler& handler, std::string_view partName) {
  Parser p(handler, partName);
  std::unique_ptr<char[]> buf(new char[1 << 16]);
  while (true) {
    std::size_t n = stream.read(buf.get(), 1 << 16);
    p.feed(buf.get(), n, n == 0);
    if (n == 0) break;
  }
}

}  // namespace quorvel::spreadsheet
