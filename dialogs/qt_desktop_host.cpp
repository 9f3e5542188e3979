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
#include <QProcess>
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

std::vector<std::string> RunFileDialog(QWidget* owner, const FileDialogRequest& request,
                                       QFileDialog::AcceptMode mode) {
  QFileDialog dialog(owner, q(request.title), q(request.initialDir));
  dialog.setAcceptMode(mode);
  if (mode == QFileDialog::AcceptSave)
    dialog.setFileMode(QFileDialog::AnyFile);
  else
    dialog.setFileMode(request.multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
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
  std::vector<std::string> chosen;
  if (dialog.exec() != QDialog::Accepted) return chosen;
  for (const QString& file : dialog.selectedFiles()) chosen.push_back(file.toStdString());
  return chosen;
}

std::optional<std::string> First(const std::vector<std::string>& files) {
  if (files.empty()) return std::nullopt;
  return files.front();
}

}  // namespace

bool IsAddress(const std::string& target) {
  for (const char* scheme : {"http://", "https://", "mailto:"})
    if (target.rfind(scheme, 0) == 0) return true;
  return false;
}

std::string CannotOpenMessage(const std::string& target, int exitCode) {
  std::string reason;
  switch (exitCode) {
    case -1:
      reason = "no program to open it was found (xdg-open is part of xdg-utils)";
      break;
    case 2:
      reason = "it does not exist";
      break;
    case 3:
      reason = "the desktop has no program for it";
      break;
    default:
      reason = "the program for it failed";
      break;
  }
  return "Could not open \"" + target + "\": " + reason + ".";
}

QtDesktopHost::~QtDesktopHost() {
  if (pointer_ != kPointerDefault) QApplication::restoreOverrideCursor();
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
  // Not waited for: a program opened may run long. The process object is
  // let go when it ends; one still running when Quorvel ends is left alone.
  auto* process = new QProcess;
  process->setProcessChannelMode(QProcess::ForwardedChannels);
  process->setStandardInputFile(QProcess::nullDevice());
  // The messages only while this host lives (`context_` goes with it).
  QObject::connect(process, &QProcess::finished, &context_,
                   [this, target](int exitCode, QProcess::ExitStatus status) {
                     if (status != QProcess::NormalExit || exitCode != 0)
                       showMessage(CannotOpenMessage(target, exitCode), MessageStyle::Critical);
                   });
  QObject::connect(process, &QProcess::errorOccurred, &context_,
                   [this, target, url](QProcess::ProcessError error) {
                     // No xdg-open: Qt knows a few other ways.
                     if (error == QProcess::FailedToStart && !QDesktopServices::openUrl(url))
                       showMessage(CannotOpenMessage(target, -1), MessageStyle::Critical);
                   });
  QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
  QObject::connect(process, &QProcess::errorOccurred, process, [process](QProcess::ProcessError e) {
    if (e == QProcess::FailedToStart) process->deleteLater();
  });
  process->start("xdg-open", {url.toString(QUrl::FullyEncoded)});
}

void QtDesktopHost::setPointer(int pointer) {
  if (pointer != kPointerHourglass && pointer != kPointerBusy) pointer = kPointerDefault;
  if (pointer == pointer_) return;
  const QCursor cursor(pointer == kPointerHourglass ? Qt::WaitCursor : Qt::BusyCursor);
  if (pointer_ == kPointerDefault)
    QApplication::setOverrideCursor(cursor);
  else if (pointer == kPointerDefault)
    QApplication::restoreOverrideCursor();
  else
    QApplication::changeOverrideCursor(cursor);
  pointer_ = pointer;
}

bool QtDesktopHost::confirm(const std::string& question) {
  return QMessageBox::question(QApplication::activeWindow(), "Quorvel", q(question),
                               QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
}

std::optional<std::string> QtDesktopHost::openFileDialog(QWidget* owner,
                                                         const FileDialogRequest& request) {
  FileDialogRequest one = request;
  one.multiple = false;
  return First(RunFileDialog(owner, one, QFileDialog::AcceptOpen));
}

std::vector<std::string> QtDesktopHost::openFilesDialog(QWidget* owner,
                                                        const FileDialogRequest& request) {
  return RunFileDialog(owner, request, QFileDialog::AcceptOpen);
}

std::optional<std::string> QtDesktopHost::saveFileDialog(QWidget* owner,
                                                         const FileDialogRequest& request) {
  return First(RunFileDialog(owner, request, QFileDialog::AcceptSave));
}

std::optional<std::string> QtDesktopHost::folderDialog(QWidget* owner, const std::string& prompt,
                                                       const std::string& initialDir) {
  const QString dir = QFileDialog::getExistingDirectory(owner, q(prompt), q(initialDir));
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

void QtDesktopHost::showModeless(QDialog& dialog) {
  dialog.setWindowModality(Qt::NonModal);
  dialog.show();
  dialog.raise();
  dialog.activateWindow();
}

}  // namespace quorvel
