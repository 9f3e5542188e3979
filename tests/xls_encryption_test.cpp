// Encrypted .xls workbooks: XOR obfuscation and RC4 (standard header on the
// corpus's files, CryptoAPI header on streams the tests encrypt).
#include <gtest/gtest.h>

#include "engine/spreadsheet/error.h"
#include "engine/spreadsheet/package/compound_file.h"
#include "engine/spreadsheet/xls/biff_decryptor.h"
#include "engine/spreadsheet/xls/reader.h"
#include "tests/support/biff_encrypt.h"
#include "tests/support/biff_writer.h"
#include "tests/support/test_support.h"

namespace quorvel::spreadsheet::xls {
namespace {

std::string corpusFile(const std::string& name) {
  return (test::corpusDir() / "xls" / name).string();
}

// The first cells of sheet `sheet` as "text" or numbers in plain form.
std::vector<std::string> firstCells(WorkbookReader& book, std::size_t sheet, std::size_t n) {
  std::vector<std::string> out;
  auto cursor = book.openWorksheet(sheet);
  Cell c;
  while (out.size() < n && cursor->next(c)) {
    if (c.kind == CellKind::Text)
      out.emplace_back(c.text);
    else if (c.kind == CellKind::Number)
      out.push_back(std::to_string(static_cast<long long>(c.number)));
  }
  return out;
}

ErrorCode openError(const std::string& path, std::vector<std::string> passwords = {}) {
  try {
    openWorkbook(path, OpenOptions{std::move(passwords)});
  } catch (const FormatError& e) {
    return e.code();
  }
  return ErrorCode::CannotOpen;
}

TEST(XlsEncryption, XorObfuscatedWorkbooksOpenWithTheirPassword) {
  auto abc = openWorkbook(corpusFile("poi__xor-encryption-abc.xls"), {{"wrong", "abc"}});
  EXPECT_EQ(firstCells(*abc, 0, 3), (std::vector<std::string>{"1", "2", "3"}));
  auto biff5 =
      openWorkbook(corpusFile("edr__Test_git_issue_242_xor_pwd_password.xls"), {{"password"}});
  EXPECT_EQ(firstCells(*biff5, 0, 1), (std::vector<std::string>{"Password: password"}));
  EXPECT_EQ(openError(corpusFile("poi__xor-encryption-abc.xls")), ErrorCode::PasswordProtected);
  EXPECT_EQ(openError(corpusFile("sheetjs__password_2002_40_xor.xls"), {"abc"}),
            ErrorCode::PasswordProtected);
  // The key and verifier of [MS-OFFCRYPTO] 2.3.7 as the corpus file stores them.
  EXPECT_EQ(xorKeyOf("abc"), 20810);
  EXPECT_EQ(xorVerifierOf("abc"), 52250);
}

TEST(XlsEncryption, Rc4WorkbooksOpenWithTheDefaultOrTheirPassword) {
  auto standard = openWorkbook(corpusFile("edr__protectedsheet-xxx.xls"), {});
  EXPECT_EQ(firstCells(*standard, 0, 1), (std::vector<std::string>{"x"}));
  auto poi = openWorkbook(corpusFile("poi__50833.xls"), {});
  EXPECT_EQ(poi->worksheets().size(), 3u);
  auto russian = openWorkbook(corpusFile("poi__password.xls"), {{"password"}});
  EXPECT_EQ(russian->worksheets()[0].name,
            "\xD0\x9B\xD0\xB8\xD1\x81\xD1\x82"
            "1");
  auto text = firstCells(*russian, 0, 1);
  ASSERT_EQ(text.size(), 1u);
  EXPECT_EQ(text[0].rfind("A ZIP bomb", 0), 0u);
  EXPECT_EQ(openError(corpusFile("poi__password.xls"), {"Password"}), ErrorCode::PasswordProtected);
}

std::string cryptoApiWorkbook(const std::string& password, std::uint32_t keyBits) {
  test::WorkbookWriter w;
  w.setFilePass(test::cryptoApiFilePass(password, keyBits));
  std::size_t s = w.addSheet("Secret");
  // Enough records to cross many 1024-byte blocks, strings in the SST too.
  for (std::uint16_t r = 0; r < 400; ++r) {
    w.number(s, r, 0, r * 1.5);
    w.labelSst(s, r, 1, w.sharedString("row " + std::to_string(r)));
  }
  test::CompoundFileWriter cfb;
  cfb.addStream("Workbook", test::encryptCryptoApi(w.stream(), password, keyBits));
  return cfb.build();
}

TEST(XlsEncryption, Rc4CryptoApiStreamsDecryptBlockByBlock) {
  for (std::uint32_t bits : {40u, 128u}) {
    auto book = openWorkbook(memorySource(cryptoApiWorkbook("VelvetSweatshop", bits)), {}, "");
    ASSERT_EQ(book->worksheets().size(), 1u);
    EXPECT_EQ(book->worksheets()[0].name, "Secret");
    auto cursor = book->openWorksheet(0);
    Cell c;
    int seen = 0;
    while (cursor->next(c)) {
      if (c.col == 0) {
        EXPECT_EQ(c.number, c.row * 1.5);
      } else {
        EXPECT_EQ(c.text, "row " + std::to_string(c.row));
      }
      ++seen;
    }
    EXPECT_EQ(seen, 800) << bits;
  }
  std::string secret = cryptoApiWorkbook("s\xC3\xA9same", 128);
  EXPECT_THROW(openWorkbook(memorySource(secret), {}, ""), FormatError);
  auto opened = openWorkbook(memorySource(secret), {{"nope", "s\xC3\xA9same"}}, "");
  EXPECT_EQ(opened->worksheets()[0].name, "Secret");
}

}  // namespace
}  // namespace quorvel::spreadsheet::xls
