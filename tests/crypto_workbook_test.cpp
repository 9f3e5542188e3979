// Encrypted workbooks through the whole component: found by content in a
// compound file, decrypted with the default or a given password, read by the
// OOXML reader, and the temporary package gone afterwards.
#include <gtest/gtest.h>
#include <xlsxwriter.h>

#include <cstdlib>
#include <map>

#include "engine/spreadsheet/automation.h"
#include "tests/support/corpus.h"
#include "tests/support/ooxml_encryptor.h"
#include "tests/support/test_support.h"

namespace quorvel::spreadsheet {
namespace {

using test::Grid;

// Every worksheet's text as we write it, by 0-based worksheet position.
std::map<int, Grid> convertAll(const std::string& path, const OpenOptions& options = {}) {
  test::TempDir out;
  auto app = createApplication(options);
  Workbook& book = app->open(path);
  app->setDisplayAlerts(false);
  std::map<int, Grid> sheets;
  for (int s = 1; s <= book.worksheetCount(); ++s) {
    book.selectSheet(s);
    std::string file = out.file(std::to_string(s) + ".txt");
    book.saveAs(file, xlCurrentPlatformText);
    sheets[s - 1] = test::parseExport(test::readFile(file), "UTF-8", '\t');
  }
  book.close();
  app->quit();
  return sheets;
}

// The error opening `path` raises; its number is 0 when it opens.
SpreadsheetError openError(const std::string& path, const OpenOptions& options = {}) {
  try {
    convertAll(path, options);
  } catch (const SpreadsheetError& e) {
    return e;
  }
  return SpreadsheetError(ErrorCode(0), "it opened");
}

// The password the corpus's README gives a file: its first word, or "" for
// "unknown".
std::string knownPassword(const test::CorpusWorkbook& w) {
  std::string pw = w.encryptionPassword.substr(0, w.encryptionPassword.find(' '));
  return pw == "unknown" ? "" : pw;
}

// Keeps the temporary packages of a test in a folder of its own.
class EncryptedWorkbook : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("TMPDIR");
    hadTmp_ = old != nullptr;
    if (old) oldTmp_ = old;
    setenv("TMPDIR", tmp_.path().c_str(), 1);
  }
  void TearDown() override {
    if (hadTmp_)
      setenv("TMPDIR", oldTmp_.c_str(), 1);
    else
      unsetenv("TMPDIR");
    EXPECT_TRUE(std::filesystem::is_empty(tmp_.path())) << "a decrypted package was left behind";
  }

  test::TempDir tmp_, files_;
  std::string oldTmp_;
  bool hadTmp_ = false;
};

TEST_F(EncryptedWorkbook, CorpusFilesOpenWithTheirPasswordsOnly) {
  int seen = 0;
  for (const test::CorpusWorkbook& w : test::loadCorpusManifest()) {
    std::string folder = w.file.substr(0, w.file.find('/'));
    if (!w.encrypted || folder == "xls") continue;
    ++seen;
    const std::string path = w.path().string(), name = w.path().filename().string();
    const std::string pw = knownPassword(w);
    SCOPED_TRACE(w.file);
    if (pw == "VelvetSweatshop") {
      EXPECT_FALSE(convertAll(path).empty());
      continue;
    }
    SpreadsheetError e = openError(path, {{"not-the-password"}});
    EXPECT_EQ(e.code(), ErrorCode::PasswordProtected);
    EXPECT_EQ(e.description(), "'" + name +
                                   "' is password-protected: none of the given passwords opens it "
                                   "(or its encryption data is damaged)");
    EXPECT_EQ(e.number(), 1004);
    if (!pw.empty()) {
      EXPECT_EQ(openError(path).description(), "'" + name + "' is password-protected");
      EXPECT_FALSE(convertAll(path, {{"first-guess", pw}}).empty());
    }
  }
  EXPECT_EQ(seen, 5);
}

// Lowest accepted agreement with the application's exports. Decryption is
// all or nothing; what is left to match is number formats and line breaks
// inside cells, and this rises as those improve.
constexpr double kAgreementFloor = 0.58;

TEST_F(EncryptedWorkbook, DefaultPasswordCorpusFileAgreesWithTheApplicationsExports) {
  for (const test::CorpusWorkbook& w : test::loadCorpusManifest()) {
    if (!w.encrypted || knownPassword(w) != "VelvetSweatshop" || w.expected.empty()) continue;
    if (w.file.rfind("xls/", 0) == 0) continue;
    std::map<int, Grid> ours = convertAll(w.path().string());
    test::Agreement total;
    for (const test::ExpectedExport& e : w.expected) {
      if (!e.excel) continue;
      Grid expected =
          test::parseExport(test::readFile((test::corpusDir() / e.file).string()), e.encoding, ',');
      // Sheets the file holds are all worksheets: the export's index is the worksheet's.
      total.add(test::compareGrids(ours[e.sheetIndex], expected));
    }
    EXPECT_GT(total.cells, 0u) << w.file;
    EXPECT_GE(total.rate(), kAgreementFloor)
        << w.file << ": " << total.matching << "/" << total.cells;
  }
}

// A small workbook of our own, plain and encrypted each way.
std::string makeWorkbook(const std::string& path) {
  lxw_workbook* wb = workbook_new(path.c_str());
  lxw_worksheet* a = workbook_add_worksheet(wb, "First");
  lxw_worksheet* b = workbook_add_worksheet(wb, "Second");
  for (int r = 0; r < 3000; ++r) {  // enough for many 4096-byte segments
    worksheet_write_number(a, r, 0, r * 1.5, nullptr);
    worksheet_write_string(a, r, 1, ("row " + std::to_string(r)).c_str(), nullptr);
  }
  worksheet_write_string(b, 2, 2, "gr\xC3\xBC\xC3\x9F", nullptr);
  workbook_close(wb);
  return test::readFile(path);
}

TEST_F(EncryptedWorkbook, ConvertsLikeThePlainWorkbook) {
  const std::string plainPath = files_.file("plain.xlsx");
  const std::string package = makeWorkbook(plainPath);
  const std::map<int, Grid> plain = convertAll(plainPath);
  ASSERT_EQ(plain.size(), 2u);

  struct Variant {
    const char* name;
    test::EncryptedStreams streams;
    OpenOptions options;
    int cfbVersion;
  } variants[] = {
      {"agile-default", test::encryptAgile(package, u"VelvetSweatshop"), {}, 3},
      {"agile-aes128-sha1",
       test::encryptAgile(package, u"s3cret", {.keyBits = 128, .hashAlgorithm = "SHA1"}),
       {{"wrong", "s3cret"}},
       4},
      {"standard-default", test::encryptStandard(package, u"VelvetSweatshop"), {}, 4},
      {"standard-aes256", test::encryptStandard(package, u"tika", 256), {{"tika"}}, 3},
  };
  for (const Variant& v : variants) {
    // An extension that says nothing of the content.
    std::string path = files_.file(std::string(v.name) + ".xls");
    test::writeFile(path, test::compoundFileOf(v.streams, v.cfbVersion));
    EXPECT_EQ(convertAll(path, v.options), plain) << v.name;
    if (!v.options.passwords.empty()) {
      EXPECT_EQ(openError(path).code(), ErrorCode::PasswordProtected) << v.name;
    }
  }
}

TEST_F(EncryptedWorkbook, ADecryptedPackageThatIsNoZipFailsCleanly) {
  std::string path = files_.file("garbage.xlsx");
  test::EncryptedStreams e =
      test::encryptAgile(std::string(20000, 'x'), u"VelvetSweatshop", {.spinCount = 10});
  test::writeFile(path, test::compoundFileOf(e));
  SpreadsheetError err = openError(path);
  EXPECT_TRUE(err.code() == ErrorCode::NotAWorkbook || err.code() == ErrorCode::Damaged)
      << err.description();
  EXPECT_NE(err.description().find("'garbage.xlsx'"), std::string::npos) << err.description();
}

}  // namespace
}  // namespace quorvel::spreadsheet
