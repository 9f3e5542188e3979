#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>
#include <QUrl>

#include "dialogs/desktop_host.h"

namespace quorvel {

namespace {

QString q(const std::string& s) {
  return QString::fromStdString(s);
}

// Qt writes a file type as "description (pattern pattern)".
QStringList NameFilters(const std::vector<FileType>& types) {
  QStringList filters;
  for (const auto& type : types) {
    QString patterns = q(type.pattern);
    patterns.replace(';', ' ');
    filters << q(type.description) + " (" + patterns + ")";
  }
  return filters;
}

std::optional<std::string> RunFileDialog(QWidget* owner, const FileDialogRequest& request,
                                         QFileDialog::AcceptMode mode) {
  QFileDialog dialog(owner, q(request.title), q(request.initialDir));
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                     : QFileDialog::AnyFile);
  // The program asks nothing about an existing file; the caller decides.
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  const QStringList filters = NameFilters(request.types);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    if (request.selectedType >= 0 && request.selectedType < filters.size())
      dialog.selectNameFilter(filters[request.selectedType]);
  }
  if (!request.defaultExtension.empty()) dialog.setDefaultSuffix(q(request.defaultExtension));
  if (!request.initialFile.empty()) dialog.selectFile(q(request.initialFile));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().first().toStdString();
}

}  // namespace

bool IsAddress(const std::string& target) {
  for (const char* scheme : {"http://", "https://", "mailto:"})
    if (target.rfind(scheme, 0) == 0) return true;
  return false;
}

QtDesktopHost::~QtDesktopHost() {
  if (waitCursor_) QApplication::restoreOverrideCursor();
}

void QtDesktopHost::showMessage(const std::string& text, MessageStyle style) {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  if (style == MessageStyle::Critical) icon = QMessageBox::Critical;
  if (style == MessageStyle::Information) icon = QMessageBox::Information;
  QMessageBox box(icon, "Quorvel", q(text), QMessageBox::Ok, QApplication::activeWindow());
  box.exec();
}

void QtDesktopHost::openWith(const std::string& target, int /*showCommand*/) {
  // Desktops here have no maximized-window request; the mail program decides.
  const QUrl url = IsAddress(target) ? QUrl(q(target)) : QUrl::fromLocalFile(q(target));
  QDesktopServices::openUrl(url);
}

void QtDesktopHost::setPointer(int pointer) {
  const bool wait = pointer == kPointerHourglass;
  if (wait == waitCursor_) return;
  if (wait)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
  waitCursor_ = wait;
}

std::optional<std::string> QtDesktopHost::openFileDialog(QWidget* owner,
                                                         const FileDialogRequest& request) {
  return RunFileDialog(owner, request, QFileDialog::AcceptOpen);
}

std::optional<std::string> QtDesktopHost::saveFileDialog(QWidget* owner,
                                                         const FileDialogRequest& request) {
  return RunFileDialog(owner, request, QFileDialog::AcceptSave);
}

std::optional<std::string> QtDesktopHost::folderDialog(QWidget* owner, const std::string& prompt) {
  const QString dir = QFileDialog::getExistingDirectory(owner, q(prompt));
  if (dir.isEmpty()) return std::nullopt;
  return dir.toStdString();
}

std::optional<std::uint32_t> QtDesktopHost::colorDialog(QWidget* owner, std::uint32_t color,
                                                        std::uint32_t /*flags*/) {
  const QColor initial(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
  const QColor chosen = QColorDialog::getColor(initial, owner);
  if (!chosen.isValid()) return std::nullopt;
  return static_cast<std::uint32_t>(chosen.red()) |
         (static_cast<std::uint32_t>(chosen.green()) << 8) |
         (static_cast<std::uint32_t>(chosen.blue()) << 16);
}

std::optional<FontChoice> QtDesktopHost::fontDialog(QWidget* owner, const FontRequest& request) {
  QFont initial(q(request.faceName));
  if (request.height < 0) initial.setPixelSize(-request.height);
  initial.setBold(request.weight >= 700);
  initial.setItalic(request.italic);
  initial.setUnderline(request.underline);
  bool ok = false;
  const QFont chosen = QFontDialog::getFont(&ok, initial, owner);
  if (!ok) return std::nullopt;
  FontChoice choice;
  choice.faceName = chosen.family().toStdString();
  choice.pointSizeTenths = static_cast<int>(chosen.pointSizeF() * 10.0 + 0.5);
  choice.bold = chosen.bold();
  choice.italic = chosen.italic();
  return choice;
}

bool QtDesktopHost::printDialog(QWidget* owner) {
  QPrinter printer;
  QPrintDialog dialog(&printer, owner);
  // No selection, no page numbers, no printing to a file.
  dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
  dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
  return dialog.exec() == QDialog::Accepted;
}

bool QtDesktopHost::printerPropertiesDialog(QWidget* owner) {
  const QPrinterInfo info = QPrinterInfo::defaultPrinter();
  if (info.isNull()) return false;
  QPrinter printer(info);
  QPageSetupDialog dialog(&printer, owner);
  return dialog.exec() == QDialog::Accepted;
}

int QtDesktopHost::screenDpiY() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? static_cast<int>(screen->logicalDotsPerInchY() + 0.5) : 96;
}

int QtDesktopHost::runModal(QDialog& dialog) {
  return dialog.exec();
}

}  // namespace quorvel
