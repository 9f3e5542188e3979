#pragma once
// The settings dialog `Setting`: the two switches of "set.txt". Every
// opening reads the file afresh; OK rewrites it, Cancel and the title
// bar's close leave it as it was.
#include <QDialog>
#include <string>

class QCheckBox;
class QPushButton;

namespace quorvel {

class DesktopHost;

class Setting : public QDialog {
  Q_OBJECT
 public:
  Setting(std::string appFolder, DesktopHost& host, QWidget* parent = nullptr);

  QCheckBox* Check1;
  QCheckBox* Check2;
  QPushButton* OKButton;
  QPushButton* CancelButton;

  void Form_Load();
  void OKButton_Click();
  void CancelButton_Click();

 private:
  std::string appFolder_;
  DesktopHost& host_;
};

// Settings_Click of the main window: shows the dialog modally.
void ShowSettingsDialog(const std::string& appFolder, DesktopHost& host, QWidget* parent);

}  // namespace quorvel
