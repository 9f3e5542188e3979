#include "engine/spreadsheet/crypto/ooxml_decrypt.h"

#include "engine/spreadsheet/error.h"

namespace quorvel::spreadsheet {

TempFile::~TempFile() {
  if (!path_.empty()) {
    std::error_code ec;
    std::filesystem::remove(path_, ec);
  }
}

TempFile& TempFile::operator=(TempFile&& other) noexcept {
  if (this != &other) {
    TempFile old(std::move(*this));
    path_ = std::move(other.path_);
    other.path_.clear();
  }
  return *this;
}

TempFile decryptOoxmlPackage(std::string_view, ByteSource&, const std::vector<std::string>&) {
  fail(ErrorCode::PasswordProtected, "");
}

}  // namespace quorvel::spreadsheet
