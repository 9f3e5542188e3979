#include "settings/setting_dialog.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/desktop_host.h"
#include "dialogs/window_font.h"
#include "settings/settings_file.h"

namespace quorvel {

Setting::Setting(std::string appFolder, DesktopHost& host, QWidget* parent)
    : QDialog(parent), appFolder_(std::move(appFolder)), host_(host) {
  setObjectName("Setting");
  setWindowTitle("Setting");
  setFont(WindowFont());
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

  Check1 = new QCheckBox("Automatically save the current file", this);
  Check1->setObjectName("Check1");
  Check2 = new QCheckBox("Automatically save the output directory", this);
  Check2->setObjectName("Check2");
  OKButton = new QPushButton("OK", this);
  OKButton->setObjectName("OKButton");
  CancelButton = new QPushButton("Cancel", this);
  CancelButton->setObjectName("CancelButton");
  for (QPushButton* button : {OKButton, CancelButton}) button->setMinimumWidth(80);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OKButton);
  buttons->addWidget(CancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 16, 16, 12);
  layout->setSpacing(10);
  layout->addWidget(Check1);
  layout->addWidget(Check2);
  layout->addSpacing(8);
  layout->addLayout(buttons);
  setFixedSize(sizeHint());

  connect(OKButton, &QPushButton::clicked, this, &Setting::OKButton_Click);
  connect(CancelButton, &QPushButton::clicked, this, &Setting::CancelButton_Click);
  Form_Load();
}

void Setting::Form_Load() {
  const Settings settings = ReadSettings(appFolder_);
  Check1->setChecked(settings.saveJobList);
  Check2->setChecked(settings.saveOutputHistory);
}

void Setting::OKButton_Click() {
  Settings settings;
  settings.saveJobList = Check1->isChecked();
  settings.saveOutputHistory = Check2->isChecked();
  // A change the user confirmed must not vanish without a word.
  if (!WriteSettings(appFolder_, settings))
    host_.showMessage("Failed to save the settings to \"" + SettingsPath(appFolder_) + "\"!",
                      MessageStyle::Critical);
  accept();
}

void Setting::CancelButton_Click() {
  reject();
}

void ShowSettingsDialog(const std::string& appFolder, DesktopHost& host, QWidget* parent) {
  Setting dialog(appFolder, host, parent);
  host.runModal(dialog);
}

}  // namespace quorvel
