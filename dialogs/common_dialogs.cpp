#include "dialogs/common_dialogs.h"

#include <QCoreApplication>
#include <cstdlib>
#include <filesystem>

namespace quorvel {

namespace {

bool IsBlank(const std::string& text) {
  return text.find_first_not_of(' ') == std::string::npos;
}

}  // namespace

std::string CutAtNul(const std::string& text) {
  return text.substr(0, text.find('\0'));
}

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  const long long product = static_cast<long long>(a) * b;
  long long quotient = product / c;
  const long long remainder = product % c;
  if (2 * std::llabs(remainder) >= std::llabs(static_cast<long long>(c)))
    quotient += ((product < 0) == (c < 0)) ? 1 : -1;
  return static_cast<int>(quotient);
}

int FontHeightForSize(std::int16_t points, int dpiY) {
  return -MulDiv(points, dpiY, 72);
}

std::int16_t FontSizeFromTenths(int tenths) {
  return static_cast<std::int16_t>(tenths / 10);
}

std::string LogFontFaceName(const std::string& name) {
  // Count characters, not UTF-8 bytes.
  std::size_t end = 0;
  for (int chars = 0; end < name.size() && chars < 31; ++chars) {
    ++end;
    while (end < name.size() && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) ++end;
  }
  return name.substr(0, end);
}

std::uint32_t ColorDialogFlags(bool fullOpen) {
  return fullOpen ? 3u : 1u;
}

std::string SettleSavePath(const std::string& path, const std::string& programFolder) {
  if (IsBlank(path)) return programFolder;
  std::string folder = path;
  if (folder.back() != '/') folder += '/';
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) return programFolder;
  return folder;
}

std::vector<FileType> SaveFileTypes(const std::string& filter) {
  if (IsBlank(filter)) return {{"*.*", "*.*"}};
  std::vector<std::string> pieces;
  std::size_t start = 0;
  for (;;) {
    const std::size_t bar = filter.find('|', start);
    pieces.push_back(filter.substr(start, bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  std::vector<FileType> types;
  for (std::size_t i = 0; i + 1 < pieces.size(); i += 2) {
    if (pieces[i].empty() || pieces[i + 1].empty()) break;
    types.push_back({pieces[i], pieces[i + 1]});
  }
  return types;
}

std::string FolderOfPath(const std::string& fileName) {
  const std::size_t slash = fileName.rfind('/');
  return slash == std::string::npos ? std::string() : fileName.substr(0, slash);
}

std::string NameOfPath(const std::string& fileName) {
  const std::size_t slash = fileName.rfind('/');
  return slash == std::string::npos ? fileName : fileName.substr(slash + 1);
}

void CCommonDialogs::Init(QWidget* ownerForm) {
  ownerForm_ = ownerForm;
  initialised_ = true;
}

QWidget* CCommonDialogs::owner() const {
  if (!initialised_) throw std::logic_error("No owner window was set for the dialog.");
  return ownerForm_;
}

bool CCommonDialogs::ShowOpen() {
  QWidget* parent = owner();
  if (FileName().size() > kMaxOpenFileName)
    throw std::invalid_argument("The file name is too long for the open dialog.");
  FileDialogRequest request;
  request.title = Title();
  request.types = {{kOpenTypeDescription, kOpenTypePattern}};
  request.initialFile = FileName();
  request.initialDir = initDir_;
  request.defaultExtension = DefExt();
  request.multiple = multiSelect_;
  std::vector<std::string> chosen;
  if (multiSelect_) {
    chosen = host_.openFilesDialog(parent, request);
  } else if (auto one = host_.openFileDialog(parent, request)) {
    chosen.push_back(*one);
  }
  if (chosen.empty()) return false;
  fileNames_ = chosen;
  fileTitle_ = NameOfPath(chosen.front());
  fileName_ = chosen.front();
  path_ = FolderOfPath(fileName_);
  return true;
}

bool CCommonDialogs::ShowSave() {
  QWidget* parent = owner();
  path_ = SettleSavePath(path_, QCoreApplication::applicationDirPath().toStdString());
  FileDialogRequest request;
  request.title = "Save";
  request.types = SaveFileTypes(filter_);
  request.selectedType = 0;
  request.initialDir = path_;
  const auto chosen = host_.saveFileDialog(parent, request);
  if (!chosen) return false;
  fileTitle_ = NameOfPath(*chosen);
  fileName_ = chosen->substr(0, kMaxSaveFileName);
  path_ = FolderOfPath(fileName_);
  return true;
}

bool CCommonDialogs::ShowFolder() {
  QWidget* parent = owner();
  const auto chosen = host_.folderDialog(parent, Title(), initDir_);
  if (!chosen) return false;
  path_ = *chosen;
  fileName_.clear();
  fileTitle_.clear();
  return true;
}

bool CCommonDialogs::ShowColor(bool fullOpen) {
  QWidget* parent = owner();
  const auto chosen = host_.colorDialog(parent, color_, ColorDialogFlags(fullOpen));
  if (!chosen) return false;
  color_ = *chosen;
  return true;
}

bool CCommonDialogs::ShowFont() {
  FontRequest request;
  request.height = FontHeightForSize(fontSize_, host_.screenDpiY());
  request.weight = fontBold_ ? 700 : 0;
  request.italic = fontItalic_;
  request.underline = fontUnderline_;
  request.faceName = LogFontFaceName(fontName_);
  request.color = color_;
  const auto chosen = host_.fontDialog(ownerForm_, request);
  if (!chosen) return false;
  fontName_ = chosen->faceName;
  fontBold_ = chosen->bold;
  fontItalic_ = chosen->italic;
  fontSize_ = FontSizeFromTenths(chosen->pointSizeTenths);
  return true;
}

bool CCommonDialogs::ShowPrinter() {
  return host_.printDialog(owner());
}

bool CCommonDialogs::ShowPrinterProperties() {
  return host_.printerPropertiesDialog(ownerForm_);
}

}  // namespace quorvel
