#include "settings/setting_dialog.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/desktop_host.h"
#include "dialogs/window_font.h"
#include "settings/settings_file.h"

namespace quorvel {

SettingsDialog::SettingsDialog(std::string appFolder, DesktopHost& host, QWidget* parent)
    : QDialog(parent), appFolder_(std::move(appFolder)), host_(host) {
  setObjectName("Setting");
  setWindowTitle("Setting");
  setFont(WindowFont());
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

  saveJobListBox_ = new QCheckBox("Automatically save the current file", this);
  saveJobListBox_->setObjectName("Check1");
  saveOutputHistoryBox_ = new QCheckBox("Automatically save the output directory", this);
  saveOutputHistoryBox_->setObjectName("Check2");
  okButton_ = new QPushButton("OK", this);
  okButton_->setObjectName("OKButton");
  cancelButton_ = new QPushButton("Cancel", this);
  cancelButton_->setObjectName("CancelButton");
  for (QPushButton* button : {okButton_, cancelButton_}) button->setMinimumWidth(80);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(okButton_);
  buttons->addWidget(cancelButton_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 16, 16, 12);
  layout->setSpacing(10);
  layout->addWidget(saveJobListBox_);
  layout->addWidget(saveOutputHistoryBox_);
  layout->addSpacing(8);
  layout->addLayout(buttons);
  setFixedSize(sizeHint());

  connect(okButton_, &QPushButton::clicked, this, &SettingsDialog::onOkClicked);
  connect(cancelButton_, &QPushButton::clicked, this, &SettingsDialog::onCancelClicked);
  loadSettings();
}

void SettingsDialog::loadSettings() {
  const Settings settings = ReadSettings(appFolder_);
  saveJobListBox_->setChecked(settings.saveJobList);
  saveOutputHistoryBox_->setChecked(settings.saveOutputHistory);
}

void SettingsDialog::onOkClicked() {
  Settings settings;
  settings.saveJobList = saveJobListBox_->isChecked();
  settings.saveOutputHistory = saveOutputHistoryBox_->isChecked();
  // A change the user confirmed must not vanish without a word.
  if (!WriteSettings(appFolder_, settings))
    host_.showMessage("Failed to save the settings to \"" + SettingsPath(appFolder_) + "\"!",
                      MessageStyle::Critical);
  accept();
}

void SettingsDialog::onCancelClicked() {
  reject();
}

void ShowSettingsDialog(const std::string& appFolder, DesktopHost& host, QWidget* parent) {
  SettingsDialog dialog(appFolder, host, parent);
  host.runModal(dialog);
}

}  // namespace quorvel
