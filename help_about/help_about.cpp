#include "help_about/help_about.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>
#include <filesystem>

#include "dialogs/desktop_host.h"
#include "dialogs/window_font.h"

namespace quorvel {

std::vector<std::string> UserGuidePlaces(const std::string& executableFolder) {
  namespace fs = std::filesystem;
  const fs::path folder(executableFolder);
  return {(folder / "guide" / "index.html").lexically_normal().string(),
          (folder / QUORVEL_GUIDE_FROM_BINDIR / "index.html").lexically_normal().string()};
}

void OpenHelpFile(DesktopHost& host, const std::string& executableFolder) {
  const std::vector<std::string> places = UserGuidePlaces(executableFolder);
  for (const std::string& place : places) {
    std::error_code error;
    if (std::filesystem::is_regular_file(place, error)) {
      host.openWith(place, kShowNormal);
      return;
    }
  }
  // The desktop would only say that it cannot open a missing file.
  host.showMessage("The user guide is not installed: \"" + places.back() + "\" is missing.",
                   MessageStyle::Critical);
}

void OpenHelpFile(DesktopHost& host) {
  OpenHelpFile(host, QCoreApplication::applicationDirPath().toStdString());
}

void OpenHomePage(DesktopHost& host) {
  host.openWith(kHomePageAddress, kShowNormal);
}

void ShowAboutBox(DesktopHost& host, QWidget* parent, const std::string& appFolder) {
  AboutBox dialog(host, parent, appFolder);
  host.runModal(dialog);
}

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
  setCursor(Qt::PointingHandCursor);
  QPalette linkPalette = palette();
  linkPalette.setColor(QPalette::WindowText, QColor(0, 0, 204));
  setPalette(linkPalette);
  QFont underlined = font();
  underlined.setUnderline(true);
  setFont(underlined);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
    emit clicked();
}

AboutBox::AboutBox(DesktopHost& host, QWidget* parent, const std::string& appFolder)
    : QDialog(parent), host_(host) {
  setObjectName("Dialog1");
  setWindowTitle("About us");
  setFont(WindowFont());
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

  productLabel_ = new QLabel("Quorvel", this);
  QFont big = font();
  big.setPixelSize(20);
  big.setBold(true);
  productLabel_->setFont(big);
  versionLabel_ = new QLabel(kVersionText, this);
  noticeLabel_ = new QLabel(
      "Quorvel is provided as is, without warranty of any kind. You may use and copy it "
      "freely; the workbooks you convert and the text files it writes remain yours.",
      this);
  noticeLabel_->setWordWrap(true);
  appFolderLabel_ =
      new QLabel("Lists and settings are kept in " + QString::fromStdString(appFolder) + ".", this);
  appFolderLabel_->setObjectName("appFolderLabel");
  appFolderLabel_->setWordWrap(true);
  appFolderLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  appFolderLabel_->setVisible(!appFolder.empty());

  contactFrame_ = new QGroupBox(this);
  supportCaption_ = new QLabel("Technical Support:", contactFrame_);
  supportEmailLink_ = new LinkLabel(kSupportEmail, contactFrame_);
  websiteCaption_ = new QLabel(" Website:", contactFrame_);
  homePageLink_ = new LinkLabel(kHomePageAddress, contactFrame_);
  copyrightLabel_ =
      new QLabel("Copyright (c) the Quorvel developers. All rights reserved.", contactFrame_);
  auto* contact = new QGridLayout(contactFrame_);
  contact->setHorizontalSpacing(8);
  contact->addWidget(supportCaption_, 0, 0);
  contact->addWidget(supportEmailLink_, 0, 1);
  contact->addWidget(websiteCaption_, 1, 0);
  contact->addWidget(homePageLink_, 1, 1);
  contact->addWidget(copyrightLabel_, 2, 0, 1, 2);
  contact->setColumnStretch(1, 1);

  okButton_ = new QPushButton("OK", this);
  okButton_->setMinimumWidth(80);
  okButton_->setDefault(true);

  const std::pair<QWidget*, const char*> names[] = {
      {productLabel_, "Label1"},   {supportEmailLink_, "Label2"}, {supportCaption_, "Label3"},
      {versionLabel_, "Label4"},   {noticeLabel_, "Label5"},      {copyrightLabel_, "Label6"},
      {websiteCaption_, "Label7"}, {homePageLink_, "Label8"},     {contactFrame_, "Frame1"},
      {okButton_, "OKButton"}};
  for (const auto& [widget, name] : names) widget->setObjectName(name);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(okButton_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 16, 16, 12);
  layout->addWidget(productLabel_);
  layout->addWidget(versionLabel_);
  layout->addSpacing(6);
  layout->addWidget(noticeLabel_);
  layout->addSpacing(6);
  layout->addWidget(appFolderLabel_);
  layout->addSpacing(6);
  layout->addWidget(contactFrame_);
  layout->addLayout(buttons);
  setFixedWidth(380);
  setFixedHeight(heightForWidth(380) > 0 ? heightForWidth(380) : sizeHint().height());

  connect(supportEmailLink_, &LinkLabel::clicked, this, &AboutBox::onSupportEmailClicked);
  connect(homePageLink_, &LinkLabel::clicked, this, &AboutBox::onHomePageClicked);
  connect(okButton_, &QPushButton::clicked, this, &AboutBox::onOkClicked);
}

void AboutBox::onSupportEmailClicked() {
  host_.openWith(std::string("mailto:") + kSupportEmail, kShowMaximized);
}

void AboutBox::onHomePageClicked() {
  host_.openWith(kHomePageAddress, kShowNormal);
}

void AboutBox::onOkClicked() {
  accept();
}

}  // namespace quorvel
