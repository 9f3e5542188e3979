#pragma once
// CCommonDialogs: the system's file-open, file-save, folder, colour, font
// and printer dialogs behind one object with properties. One object per
// dialog use: Init, set properties, one Show… call, read the results.
// The program uses ShowOpen and ShowFolder only; the other members complete the wrapper.
//
// The rules that decide what a dialog receives and what comes back live in
// the free functions below, so they can be checked without a dialog.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "dialogs/desktop_host.h"

class QWidget;

namespace quorvel {

// The text up to, not including, its first NUL; the whole text without one.
std::string CutAtNul(const std::string& text);
// Windows' MulDiv: a * b / c rounded half away from zero; -1 when c is 0.
int MulDiv(int a, int b, int c);
// The LOGFONT height of a size in points on a screen of `dpiY` dots per inch.
int FontHeightForSize(std::int16_t points, int dpiY);
// A size in tenths of a point as whole points, the fraction dropped.
std::int16_t FontSizeFromTenths(int tenths);
// A face name as a LOGFONT holds it: at most 31 characters.
std::string LogFontFaceName(const std::string& name);
// The colour dialog's flags: 1 start from the colour, plus 2 fully opened.
std::uint32_t ColorDialogFlags(bool fullOpen);
// The save dialog's starting folder: `path` ending in one separator when it
// names an existing folder, otherwise `programFolder`.
std::string SettleSavePath(const std::string& path, const std::string& programFolder);
// The save dialog's file types from `Filter` ("Text|*.txt|All|*.*"); one
// "*.*" type when it is blank. An empty piece ends the list.
std::vector<FileType> SaveFileTypes(const std::string& filter);
// The folder of a full path: up to, not including, its last separator.
std::string FolderOfPath(const std::string& fileName);
// The name of a full path after its last separator.
std::string NameOfPath(const std::string& fileName);

// The open dialog's one fixed file type: the four kinds of workbook read,
// and no templates or add-ins.
inline constexpr const char* kOpenTypeDescription = "Excel files(*.xls;*.xlsx;*.xlsm;*.xlsb)";
inline constexpr const char* kOpenTypePattern = "*.xls;*.xlsx;*.xlsm;*.xlsb";
// ShowOpen refuses a starting file name longer than its buffer.
inline constexpr std::size_t kMaxOpenFileName = 260;
// ShowSave keeps this much of the chosen path.
inline constexpr std::size_t kMaxSaveFileName = 255;

class CCommonDialogs {
 public:
  explicit CCommonDialogs(DesktopHost& host) : host_(host) {}

  bool FontUnderline() const { return fontUnderline_; }
  void setFontUnderline(bool v) { fontUnderline_ = v; }
  bool FontItalic() const { return fontItalic_; }
  void setFontItalic(bool v) { fontItalic_ = v; }
  bool FontBold() const { return fontBold_; }
  void setFontBold(bool v) { fontBold_ = v; }
  std::int16_t FontSize() const { return fontSize_; }
  void setFontSize(std::int16_t v) { fontSize_ = v; }
  std::string FontName() const { return fontName_; }
  void setFontName(const std::string& v) { fontName_ = v; }
  std::uint32_t Color() const { return color_; }
  void setColor(std::uint32_t v) { color_ = v; }
  std::string DefExt() const { return defExt_; }
  void setDefExt(const std::string& v) { defExt_ = v; }
  std::string Title() const { return CutAtNul(title_); }
  void setTitle(const std::string& v) { title_ = v; }
  void Init(QWidget* ownerForm);
  std::string Path() const { return CutAtNul(path_); }
  void setPath(const std::string& v) { path_ = v; }
  std::string FileTitle() const { return CutAtNul(fileTitle_); }
  void setFileTitle(const std::string& v) { fileTitle_ = v; }
  std::string Filter() const { return filter_; }
  void setFilter(const std::string& v) { filter_ = v; }
  std::string FileName() const { return CutAtNul(fileName_); }
  void setFileName(const std::string& v) { fileName_ = v; }
  // Where ShowOpen and ShowFolder start; "" lets the system choose.
  std::string InitDir() const { return initDir_; }
  void setInitDir(const std::string& v) { initDir_ = v; }
  // ShowOpen takes several files: FileNames holds them all, FileName,
  // FileTitle and Path describe the first.
  bool MultiSelect() const { return multiSelect_; }
  void setMultiSelect(bool v) { multiSelect_ = v; }
  const std::vector<std::string>& FileNames() const { return fileNames_; }

  // Each returns true only when the user confirmed. All but ShowFont and
  // ShowPrinterProperties throw std::logic_error before Init.
  bool ShowPrinter();
  bool ShowFolder();
  bool ShowColor(bool fullOpen);
  bool ShowFont();
  bool ShowOpen();  // also throws std::invalid_argument for a too long FileName
  bool ShowPrinterProperties();
  bool ShowSave();

 private:
  QWidget* owner() const;

  DesktopHost& host_;
  std::string fileTitle_;
  std::string path_;
  std::string filter_;
  std::string fileName_;
  std::uint32_t color_ = 0;
  std::string title_;
  QWidget* ownerForm_ = nullptr;
  bool initialised_ = false;
  std::string defExt_;
  std::string fontName_;
  std::int16_t fontSize_ = 0;
  bool fontBold_ = false;
  bool fontItalic_ = false;
  bool fontUnderline_ = false;
  std::string initDir_;
  bool multiSelect_ = false;
  std::vector<std::string> fileNames_;
};

}  // namespace quorvel
