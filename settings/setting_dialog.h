#pragma once
// The settings dialog: the two switches of "set.txt". Every opening reads
// the file afresh; OK rewrites it, Cancel and the title bar's close leave it
// as it was. The dialog and its controls keep their designer names as
// objectNames.
#include <QDialog>
#include <string>

class QCheckBox;
class QPushButton;

namespace quorvel {

class DesktopHost;

class SettingsDialog : public QDialog {
  Q_OBJECT
 public:
  SettingsDialog(std::string appFolder, DesktopHost& host, QWidget* parent = nullptr);

  void onOkClicked();
  void onCancelClicked();

 private:
  // Each time the dialog is shown: the boxes from the file.
  void loadSettings();

  QCheckBox* saveJobListBox_;        // Check1
  QCheckBox* saveOutputHistoryBox_;  // Check2
  QPushButton* okButton_;            // OKButton
  QPushButton* cancelButton_;        // CancelButton
  std::string appFolder_;
  DesktopHost& host_;
};

// The main window's Settings command: shows the dialog modally.
void ShowSettingsDialog(const std::string& appFolder, DesktopHost& host, QWidget* parent);

}  // namespace quorvel
