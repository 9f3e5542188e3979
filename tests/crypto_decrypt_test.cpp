// Decryption of encrypted OOXML packages against an encryptor written apart
// from it (tests/support/ooxml_encryptor): keys, verifiers, segments, and
// every way a broken or foreign encryption fails.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "engine/spreadsheet/crypto/encryption_scheme.h"
#include "engine/spreadsheet/crypto/ooxml_decrypt.h"
#include "engine/spreadsheet/error.h"
#include "tests/support/ooxml_encryptor.h"
#include "tests/support/test_support.h"

namespace quorvel::spreadsheet {
namespace {

using test::AgileSettings;
using test::EncryptedStreams;
using test::StringByteSource;

std::string somePackage(std::size_t n, unsigned seed = 7) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (char& c : s) c = char(rng() & 0xFF);
  return s;
}

// Points the temporary folder at a folder of the test's own, so a test sees
// every file decryption leaves behind.
class Decrypt : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("TMPDIR");
    oldTmp_ = old ? old : "";
    hadTmp_ = old != nullptr;
    setenv("TMPDIR", tmp_.path().c_str(), 1);
  }
  void TearDown() override {
    if (hadTmp_)
      setenv("TMPDIR", oldTmp_.c_str(), 1);
    else
      unsetenv("TMPDIR");
  }
  bool tmpIsEmpty() const { return std::filesystem::is_empty(tmp_.path()); }

  std::string decrypt(const EncryptedStreams& e, const std::vector<std::string>& passwords) {
    StringByteSource source(e.encryptedPackage);
    TempFile file = decryptOoxmlPackage(e.encryptionInfo, source, passwords);
    EXPECT_EQ(file.path().parent_path(), tmp_.path());
    return test::readFile(file.path().string());
  }

  // The code of the FormatError decryption raises, its detail in `detail`.
  ErrorCode failure(const EncryptedStreams& e, const std::vector<std::string>& passwords,
                    std::string* detail = nullptr) {
    StringByteSource source(e.encryptedPackage);
    try {
      decryptOoxmlPackage(e.encryptionInfo, source, passwords);
    } catch (const FormatError& err) {
      if (detail) *detail = err.what();
      return err.code();
    }
    ADD_FAILURE() << "decryption succeeded";
    return ErrorCode::NotOpen;
  }

  test::TempDir tmp_;
  std::string oldTmp_;
  bool hadTmp_ = false;
};

std::string replaced(std::string s, const std::string& from, const std::string& to) {
  std::size_t at = s.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) s.replace(at, from.size(), to);
  return s;
}

// The value of attribute `name` in the descriptor's password key encryptor.
std::string passwordAttr(const std::string& info, const std::string& name) {
  std::size_t at = info.find(name + "=\"", info.find("p:encryptedKey"));
  std::size_t start = at + name.size() + 2;
  return info.substr(start, info.find('"', start) - start);
}

// --- Standard encryption -----------------------------------------------

TEST(StandardKey, MatchesTheStepByStepDerivationForEachKeySize) {
  const std::string salt = somePackage(16, 3);
  // "pässwort€" exercises the UTF-8 to UTF-16 conversion of the password.
  for (int bits : {128, 192, 256}) {
    crypto::Bytes key =
        crypto::standardEncryptionKey(salt, "p\xC3\xA4sswort\xE2\x82\xAC", bits / 8);
    EXPECT_EQ(std::string(key.begin(), key.end()),
              test::standardKeyFor(salt, u"p\u00e4sswort\u20ac", bits))
        << bits;
  }
  EXPECT_NE(crypto::standardEncryptionKey(salt, "a", 16),
            crypto::standardEncryptionKey(salt, "b", 16));
}

TEST_F(Decrypt, StandardOpensWithTheRightPasswordForEveryKeySize) {
  const std::string plain = somePackage(3 * 4096 + 77);
  for (int bits : {128, 192, 256}) {
    EncryptedStreams e = test::encryptStandard(plain, u"tika", bits);
    EXPECT_EQ(decrypt(e, {"wrong", "tika"}), plain) << bits;
    EXPECT_EQ(failure(e, {}), ErrorCode::PasswordProtected) << bits;
    EXPECT_EQ(failure(e, {"Tika", "tika "}), ErrorCode::PasswordProtected) << bits;
  }
  EXPECT_TRUE(tmpIsEmpty());
}

TEST_F(Decrypt, TheDefaultPasswordIsAlwaysTried) {
  const std::string plain = somePackage(5000);
  EXPECT_EQ(decrypt(test::encryptStandard(plain, u"VelvetSweatshop"), {}), plain);
  EXPECT_EQ(decrypt(test::encryptAgile(plain, u"VelvetSweatshop", {.spinCount = 1000}), {"other"}),
            plain);
}

TEST_F(Decrypt, StandardTamperedVerifierMeansPasswordProtected) {
  EncryptedStreams e = test::encryptStandard(somePackage(100), u"tika");
  // EncryptedVerifierHash is the stream's last 32 bytes.
  EncryptedStreams hash = e;
  hash.encryptionInfo[hash.encryptionInfo.size() - 40] ^= 1;
  EXPECT_EQ(failure(hash, {"tika"}), ErrorCode::PasswordProtected);
  EncryptedStreams verifier = e;
  verifier.encryptionInfo[verifier.encryptionInfo.size() - 60] ^= 1;
  EXPECT_EQ(failure(verifier, {"tika"}), ErrorCode::PasswordProtected);
  EXPECT_TRUE(tmpIsEmpty());
}

TEST_F(Decrypt, StandardHeaderErrors) {
  EncryptedStreams e = test::encryptStandard(somePackage(100), u"x");
  std::string detail;

  EncryptedStreams rc4 = e;
  rc4.encryptionInfo[20] = 0x01;  // AlgID 0x6801
  rc4.encryptionInfo[21] = 0x68;
  EXPECT_EQ(failure(rc4, {"x"}, &detail), ErrorCode::Unsupported);
  EXPECT_NE(detail.find("RC4"), std::string::npos) << detail;

  EncryptedStreams byFlags = e;  // AlgID 0 leaves the choice to fAES
  byFlags.encryptionInfo[20] = byFlags.encryptionInfo[21] = 0;
  EXPECT_EQ(decrypt(byFlags, {"x"}), somePackage(100));
  byFlags.encryptionInfo[4] &= ~0x20;
  EXPECT_EQ(failure(byFlags, {"x"}, &detail), ErrorCode::Unsupported);
  EXPECT_NE(detail.find("RC4"), std::string::npos) << detail;

  EncryptedStreams unknown = e;
  unknown.encryptionInfo[21] = 0x12;  // AlgID 0x120E
  EXPECT_EQ(failure(unknown, {"x"}, &detail), ErrorCode::Unsupported);
  EXPECT_NE(detail.find("unknown cipher (algorithm id 0x120e)"), std::string::npos) << detail;

  EncryptedStreams external = e;
  external.encryptionInfo[4] |= 0x10;  // fExternal
  EXPECT_EQ(failure(external, {"x"}, &detail), ErrorCode::Unsupported);
  EXPECT_NE(detail.find("extensible"), std::string::npos) << detail;

  EncryptedStreams hugeHeader = e;
  hugeHeader.encryptionInfo[9] = 0x7F;  // HeaderSize past the stream's end
  EXPECT_EQ(failure(hugeHeader, {"x"}), ErrorCode::Damaged);

  EncryptedStreams cut = e;
  cut.encryptionInfo.resize(cut.encryptionInfo.size() - 10);
  EXPECT_EQ(failure(cut, {"x"}, &detail), ErrorCode::Damaged);
  EXPECT_NE(detail.find("verifier"), std::string::npos) << detail;
}

// --- Agile encryption ----------------------------------------------------

struct AgileCase {
  int keyBits;
  const char* hash;
};

class AgileCipher : public Decrypt, public ::testing::WithParamInterface<AgileCase> {};

TEST_P(AgileCipher, OpensWithTheRightPasswordAcrossSegmentBoundaries) {
  AgileSettings s{
      .keyBits = GetParam().keyBits, .hashAlgorithm = GetParam().hash, .spinCount = 2000};
  // Sizes around the 4096-byte segments and the 16-segment read chunks.
  for (std::size_t size : {std::size_t(1), std::size_t(4096), std::size_t(4097),
                           std::size_t(16 * 4096 + 15), std::size_t(40000)}) {
    const std::string plain = somePackage(size, unsigned(size));
    EncryptedStreams e = test::encryptAgile(plain, u"password", s);
    EXPECT_EQ(decrypt(e, {"nope", "password"}), plain) << size;
  }
  EncryptedStreams e = test::encryptAgile(somePackage(100), u"password", s);
  EXPECT_EQ(failure(e, {"Password", "passwor"}), ErrorCode::PasswordProtected);
  EXPECT_TRUE(tmpIsEmpty());
}

INSTANTIATE_TEST_SUITE_P(KeySizesAndHashes, AgileCipher,
                         ::testing::Values(AgileCase{128, "SHA1"}, AgileCase{256, "SHA1"},
                                           AgileCase{192, "SHA256"}, AgileCase{256, "SHA384"},
                                           AgileCase{256, "SHA512"}));

TEST_F(Decrypt, AgileWithTheApplicationsSpinCountAndANonAsciiPassword) {
  const std::string plain = somePackage(9000);
  // U+1F600 needs a surrogate pair in UTF-16.
  EncryptedStreams e =
      test::encryptAgile(plain, u"gr\u00fc\u00dfe\U0001F600", {.spinCount = 100000});
  EXPECT_EQ(decrypt(e, {"gr\xC3\xBC\xC3\x9F"
                        "e\xF0\x9F\x98\x80"}),
            plain);
  EXPECT_EQ(failure(e, {"grusse"}), ErrorCode::PasswordProtected);
}

TEST_F(Decrypt, AgileTamperedVerifierMeansPasswordProtected) {
  EncryptedStreams e = test::encryptAgile(somePackage(100), u"pw", {.spinCount = 1000});
  for (const char* attr : {"encryptedVerifierHashValue", "encryptedVerifierHashInput"}) {
    std::string value = passwordAttr(e.encryptionInfo, attr);
    std::string tampered = value;
    tampered[0] = tampered[0] == 'A' ? 'B' : 'A';
    EncryptedStreams t = e;
    t.encryptionInfo = replaced(e.encryptionInfo, value, tampered);
    EXPECT_EQ(failure(t, {"pw"}), ErrorCode::PasswordProtected) << attr;
  }
  // Another spin count derives other keys.
  EncryptedStreams spin = e;
  spin.encryptionInfo = replaced(e.encryptionInfo, "spinCount=\"1000\"", "spinCount=\"1001\"");
  EXPECT_EQ(failure(spin, {"pw"}), ErrorCode::PasswordProtected);
  EXPECT_TRUE(tmpIsEmpty());
}

TEST_F(Decrypt, AgileDescriptorsWeDoNotReadAreUnsupportedInPlainWords) {
  const std::string plain = somePackage(100);
  struct Case {
    AgileSettings settings;
    const char* detail;
  } cases[] = {
      {{.spinCount = 10, .cipherAlgorithm = "Foo"}, "it is encrypted with an unknown cipher 'Foo'"},
      {{.spinCount = 10, .cipherAlgorithm = "RC2"},
       "it is encrypted with the cipher 'RC2', which is not supported"},
      {{.spinCount = 10, .cipherChaining = "ChainingModeCFB"}, "chaining mode 'ChainingModeCFB'"},
      {{.hashAlgorithm = "MD5", .spinCount = 10}, "its password is hashed with 'MD5'"},
      {{.hashAlgorithm = "Bar", .spinCount = 10}, "an unknown hash 'Bar'"},
  };
  for (const Case& c : cases) {
    std::string detail;
    EXPECT_EQ(failure(test::encryptAgile(plain, u"pw", c.settings), {"pw"}, &detail),
              ErrorCode::Unsupported);
    EXPECT_NE(detail.find(c.detail), std::string::npos) << detail;
  }

  EncryptedStreams e = test::encryptAgile(plain, u"pw", {.spinCount = 10});
  std::string detail;
  EncryptedStreams spin = e;
  spin.encryptionInfo = replaced(e.encryptionInfo, "spinCount=\"10\"", "spinCount=\"4000000000\"");
  EXPECT_EQ(failure(spin, {"pw"}, &detail), ErrorCode::Unsupported);
  EXPECT_NE(detail.find("4000000000 times"), std::string::npos) << detail;

  EncryptedStreams certificate = e;
  certificate.encryptionInfo = replaced(e.encryptionInfo, "keyEncryptor/password\"><p:encryptedKey",
                                        "keyEncryptor/certificate\"><c:encryptedKey");
  certificate.encryptionInfo = replaced(certificate.encryptionInfo, "xmlns:p=", "xmlns:c=");
  EXPECT_EQ(failure(certificate, {"pw"}, &detail), ErrorCode::Unsupported);
  EXPECT_NE(detail.find("certificate"), std::string::npos) << detail;

  for (const char* version : {"\x05\x00\x05\x00", "\x04\x00\x03\x00"}) {
    EncryptedStreams v = e;
    v.encryptionInfo.replace(0, 4, version, 4);
    EXPECT_EQ(failure(v, {"pw"}), ErrorCode::Unsupported);
  }
}

TEST_F(Decrypt, BrokenDescriptorsAreDamaged) {
  EncryptedStreams e = test::encryptAgile(somePackage(100), u"pw", {.spinCount = 10});
  std::string salt = passwordAttr(e.encryptionInfo, "saltValue");
  const std::pair<std::string, std::string> edits[] = {
      {"</encryption>", "</encryptio"},                          // not well-formed
      {"spinCount=\"10\"", "spinCount=\"ten\""},                 // not a number
      {"saltValue=\"" + salt, "saltValue=\"!!" + salt},          // not base64
      {"keyBits=\"256\" hashSize", "keyBitz=\"256\" hashSize"},  // keyData loses keyBits
      {"blockSize=\"16\"", "blockSize=\"8\""},                   // not AES's block
  };
  for (const auto& [from, to] : edits) {
    EncryptedStreams broken = e;
    broken.encryptionInfo = replaced(e.encryptionInfo, from, to);
    std::string detail;
    EXPECT_EQ(failure(broken, {"pw"}, &detail), ErrorCode::Damaged) << to;
    EXPECT_FALSE(detail.empty());
  }
  EncryptedStreams tiny = e;
  tiny.encryptionInfo.resize(6);
  EXPECT_EQ(failure(tiny, {"pw"}), ErrorCode::Damaged);
  EXPECT_TRUE(tmpIsEmpty());
}

TEST_F(Decrypt, RandomlyDamagedEncryptionInfoFailsCleanly) {
  const std::string plain = somePackage(5000);
  std::mt19937 rng(11);
  for (bool agile : {false, true}) {
    EncryptedStreams e = agile ? test::encryptAgile(plain, u"pw", {.spinCount = 10})
                               : test::encryptStandard(plain, u"pw");
    for (int i = 0; i < (agile ? 300 : 100); ++i) {  // Standard spins 50,000 times
      EncryptedStreams d = e;
      for (int k = 0; k < 3; ++k) d.encryptionInfo[rng() % d.encryptionInfo.size()] = char(rng());
      if (i % 4 == 0) d.encryptionInfo.resize(rng() % d.encryptionInfo.size());
      StringByteSource source(d.encryptedPackage);
      try {
        TempFile f = decryptOoxmlPackage(d.encryptionInfo, source, {"pw"});
      } catch (const FormatError& err) {
        // Every failure but a wrong password says what is wrong.
        if (err.code() != ErrorCode::PasswordProtected) {
          EXPECT_STRNE(err.what(), "");
        }
      }
    }
  }
  EXPECT_TRUE(tmpIsEmpty());
}

// --- The encrypted package and the temporary file -------------------------

TEST_F(Decrypt, ATruncatedPackageIsDamagedAndLeavesNoFile) {
  for (bool agile : {false, true}) {
    EncryptedStreams e = agile ? test::encryptAgile(somePackage(50000), u"pw", {.spinCount = 10})
                               : test::encryptStandard(somePackage(50000), u"pw");
    EncryptedStreams cut = e;
    cut.encryptedPackage.resize(e.encryptedPackage.size() - 100);
    std::string detail;
    EXPECT_EQ(failure(cut, {"pw"}, &detail), ErrorCode::Damaged);
    EXPECT_NE(detail.find("fewer than the 50000"), std::string::npos) << detail;
    cut.encryptedPackage.resize(5);
    EXPECT_EQ(failure(cut, {"pw"}), ErrorCode::Damaged);
  }
  EXPECT_TRUE(tmpIsEmpty());
}

TEST_F(Decrypt, GarbageInTheUpperHalfOfThePackageSizeIsIgnored) {
  const std::string plain = somePackage(7000);
  EncryptedStreams e = test::encryptStandard(plain, u"pw");
  e.encryptedPackage[5] = '\x5A';
  EXPECT_EQ(decrypt(e, {"pw"}), plain);
  e.encryptedPackage[1] = '\x7F';  // and the lower half too large: damaged
  EXPECT_EQ(failure(e, {"pw"}), ErrorCode::Damaged);
}

// A stream whose storage breaks after some reads, as a compound file with a
// broken sector chain does.
class FailingSource : public StringByteSource {
 public:
  FailingSource(std::string data, int readsBeforeFailure)
      : StringByteSource(std::move(data)), left_(readsBeforeFailure) {}
  void read(std::uint64_t offset, void* dst, std::size_t n) override {
    if (left_-- == 0) damaged("a sector chain is broken");
    StringByteSource::read(offset, dst, n);
  }

 private:
  int left_;
};

TEST_F(Decrypt, AFailureMidwayRemovesTheTemporaryFile) {
  EncryptedStreams e = test::encryptAgile(somePackage(300000), u"pw", {.spinCount = 10});
  FailingSource source(e.encryptedPackage, 3);
  try {
    decryptOoxmlPackage(e.encryptionInfo, source, {"pw"});
    ADD_FAILURE() << "decryption succeeded";
  } catch (const FormatError& err) {
    EXPECT_EQ(err.code(), ErrorCode::Damaged);
    EXPECT_STREQ(err.what(), "a sector chain is broken");
  }
  EXPECT_TRUE(tmpIsEmpty());
}

TEST_F(Decrypt, TheTemporaryFileLivesAsLongAsItsObject) {
  EncryptedStreams e = test::encryptStandard(somePackage(1000), u"pw");
  StringByteSource source(e.encryptedPackage);
  std::filesystem::path path;
  {
    TempFile file = decryptOoxmlPackage(e.encryptionInfo, source, {"pw"});
    TempFile moved = std::move(file);
    path = moved.path();
    EXPECT_TRUE(file.path().empty());
    EXPECT_EQ(std::filesystem::file_size(path), 1000u);
  }
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_TRUE(tmpIsEmpty());
}

}  // namespace
}  // namespace quorvel::spreadsheet
