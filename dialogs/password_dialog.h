#pragma once
// The question for a workbook's password: a line to type it in, OK, and
// Skip, which leaves the workbook unopened.
#include <QDialog>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace quorvel {

class PasswordDialog : public QDialog {
  Q_OBJECT
 public:
  // `again`: the password given last did not open it.
  PasswordDialog(const std::string& workbook, bool again, QWidget* parent = nullptr);

  std::string password() const;
  QLineEdit* passwordEdit() const { return edit_; }

  static QString question(const std::string& workbook, bool again);

 private:
  QLabel* question_;
  QLineEdit* edit_;
  QPushButton* okButton_;
  QPushButton* skipButton_;
};

}  // namespace quorvel
