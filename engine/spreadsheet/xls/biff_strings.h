#pragma once
// Strings of BIFF records: BIFF8's Unicode strings (8-bit "compressed" or
// UTF-16), BIFF2-5's 8-bit strings in the workbook's code page, and the
// shared-string table whose strings may continue across Continue records.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/spreadsheet/string_table.h"
#include "engine/spreadsheet/xls/code_page.h"

namespace quorvel::spreadsheet::xls {

// Appends `count` characters, one byte each (Latin-1, the low bytes of
// UTF-16) or two (UTF-16LE), as UTF-8. A surrogate pair split by the caller's
// chunks is not joined.
void appendBiff8Chars(const unsigned char* p, std::size_t count, bool twoBytes, std::string& out);

// A string at the start of `data`: BIFF8's XLUnicodeString (count of
// `countBytes` bytes, option byte, characters; rich-text and phonetic data
// after the characters are skipped), or BIFF2-5's count and 8-bit characters
// decoded with `codePage`. Characters cut short by the record's end are
// dropped. Returns the bytes consumed.
std::size_t readBiffString(std::string_view data, std::size_t countBytes, bool biff8,
                           const CodePage& codePage, std::string& out);

// Appends the strings of the SST record and its Continue records to `table`;
// `segments`: the SST record's data, then each Continue record's data.
void readSharedStrings(const std::vector<std::string>& segments, StringTable& table);

}  // namespace quorvel::spreadsheet::xls
