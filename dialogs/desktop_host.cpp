// What every desktop host does the same way: the program's own dialogs
// for the failure list and passwords.
#include "dialogs/desktop_host.h"

#include <QApplication>

#include "dialogs/failure_list_dialog.h"
#include "dialogs/password_dialog.h"

namespace quorvel {

void DesktopHost::showFailures(const RunReport& report) {
  FailureListDialog dialog(report, QApplication::activeWindow());
  runModal(dialog);
}

std::optional<std::string> DesktopHost::askPassword(const std::string& workbook, bool again) {
  PasswordDialog dialog(workbook, again, QApplication::activeWindow());
  if (runModal(dialog) != QDialog::Accepted) return std::nullopt;
  return dialog.password();
}

}  // namespace quorvel
