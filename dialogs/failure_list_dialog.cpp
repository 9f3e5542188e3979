#include "dialogs/failure_list_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "dialogs/window_font.h"

namespace quorvel {

FailureListDialog::FailureListDialog(const RunReport& report, QWidget* parent) : QDialog(parent) {
  setObjectName("FailureList");
  setWindowTitle("Quorvel");
  setFont(WindowFont());
  setSizeGripEnabled(true);

  auto* icon = new QLabel(this);
  const int side = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(side, side));
  auto* heading = new QLabel(QString::fromStdString(report.summary()), this);
  heading->setObjectName("failureSummary");
  heading->setWordWrap(true);
  auto* top = new QHBoxLayout;
  top->addWidget(icon, 0, Qt::AlignTop);
  top->addWidget(heading, 1);

  text_ = new QPlainTextEdit(this);
  text_->setObjectName("failureText");
  text_->setReadOnly(true);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  text_->setPlainText(QString::fromStdString(report.text()));

  auto* buttons = new QDialogButtonBox(this);
  copyButton_ = buttons->addButton("&Copy", QDialogButtonBox::ActionRole);
  copyButton_->setObjectName("CopyButton");
  okButton_ = buttons->addButton(QDialogButtonBox::Ok);
  okButton_->setObjectName("OKButton");
  okButton_->setDefault(true);
  connect(copyButton_, &QPushButton::clicked, this, &FailureListDialog::onCopyClicked);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(text_, 1);
  layout->addWidget(buttons);
  resize(560, 360);
}

void FailureListDialog::onCopyClicked() {
  QApplication::clipboard()->setText(text_->toPlainText());
}

}  // namespace quorvel
