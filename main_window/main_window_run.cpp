// The Convert command: a run on a thread of its own, Cancel while it
// lasts, and its end.
#include <QAction>
#include <QComboBox>
#include <QPushButton>
#include <QToolButton>

#include "dialogs/desktop_host.h"
#include "dialogs/password_dialog.h"
#include "main_window/conversion_thread.h"
#include "main_window/icons.h"
#include "main_window/list_view.h"
#include "main_window/main_window.h"
#include "main_window/output_combo.h"

namespace quorvel {

bool MainWindow::converting() const {
  return run_ && run_->running();
}

void MainWindow::onConvertClicked() {
  if (converting()) {
    onCancelClicked();
    return;
  }
  std::optional<PreparedRun> run = procedures_->BeginConversion();
  if (!run) return;
  setConverting(true);
  run_->start(std::move(*run));
}

void MainWindow::onCancelClicked() {
  if (!converting()) return;
  run_->stop();
  // A password question of the run goes with it.
  if (runPassword_) runPassword_->reject();
}

void MainWindow::setConverting(bool converting) {
  // What would change the run's input waits for its end.
  for (QWidget* input : std::initializer_list<QWidget*>{
           addWorkbookButton_, addFolderButton_, removeJobButton_, moveUpButton_, moveDownButton_,
           jobList_, namingBox_, workbookList_, worksheetList_, outputDirectoryBox_, browseButton_})
    input->setEnabled(!converting);
  for (QAction* input : {addWorkbookAction_, addFolderAction_, removeJobAction_, removeAllAction_,
                         removeOutputDirectoryAction_, removeAllOutputDirectoriesAction_})
    input->setEnabled(!converting);
  const QString caption = converting ? "&Cancel" : "&Convert";
  convertButton_->setText(caption);
  convertButton_->setIcon(converting ? icons::Cancel() : icons::Convert());
  convertAction_->setText(caption);
  if (converting)
    convertAction_->setShortcut(Qt::Key_Escape);
  else
    convertAction_->setShortcuts({Qt::CTRL | Qt::Key_Return, Qt::CTRL | Qt::Key_Enter});
}

void MainWindow::onPasswordWanted(const QString& workbook, bool again) {
  auto* dialog = new PasswordDialog(workbook.toStdString(), again, this);
  runPassword_ = dialog;
  connect(dialog, &QDialog::finished, this, [this, dialog](int result) {
    std::optional<std::string> password;
    if (result == QDialog::Accepted) password = dialog->password();
    run_->answerPassword(std::move(password));
    dialog->deleteLater();
  });
  // Not modal: Cancel in the window stays within reach.
  host_.showModeless(*dialog);
}

void MainWindow::onConversionFinished() {
  if (runPassword_) runPassword_->reject();
  setConverting(false);
  procedures_->EndConversion(run_->run(), run_->results(), run_->stopRequested(), closeAfterRun_);
  emit conversionFinished();
  if (closeAfterRun_) close();
}

}  // namespace quorvel
