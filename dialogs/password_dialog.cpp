#include "dialogs/password_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/window_font.h"

namespace quorvel {

QString PasswordDialog::question(const std::string& workbook, bool again) {
  const QString name = QString::fromStdString(workbook);
  if (again) return "That password does not open '" + name + "'. Type its password to open it.";
  return "'" + name + "' is password-protected. Type its password to open it.";
}

PasswordDialog::PasswordDialog(const std::string& workbook, bool again, QWidget* parent)
    : QDialog(parent) {
  setObjectName("PasswordDialog");
  setWindowTitle("Quorvel");
  setFont(WindowFont());
  question_ = new QLabel(question(workbook, again), this);
  question_->setObjectName("passwordQuestion");
  question_->setWordWrap(true);
  edit_ = new QLineEdit(this);
  edit_->setObjectName("passwordEdit");
  edit_->setEchoMode(QLineEdit::Password);
  auto* label = new QLabel("&Password:", this);
  label->setBuddy(edit_);

  auto* buttons = new QDialogButtonBox(this);
  okButton_ = buttons->addButton(QDialogButtonBox::Ok);
  okButton_->setObjectName("OKButton");
  skipButton_ = buttons->addButton("&Skip", QDialogButtonBox::RejectRole);
  skipButton_->setObjectName("SkipButton");
  okButton_->setEnabled(false);
  connect(edit_, &QLineEdit::textChanged, this,
          [this](const QString& text) { okButton_->setEnabled(!text.isEmpty()); });
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(question_);
  layout->addWidget(label);
  layout->addWidget(edit_);
  layout->addWidget(buttons);
  setMinimumWidth(360);
}

std::string PasswordDialog::password() const {
  return edit_->text().toStdString();
}

}  // namespace quorvel
