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
                   kStyleCritical);
}

void OpenHelpFile(DesktopHost& host) {
  OpenHelpFile(host, QCoreApplication::applicationDirPath().toStdString());
}

void OpenHomePage(DesktopHost& host) {
  host.openWith(kHomePageAddress, kShowNormal);
}

void ShowAboutBox(DesktopHost& host, QWidget* parent, const std::string& appFolder) {
  Dialog1 dialog(host, parent, appFolder);
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

Dialog1::Dialog1(DesktopHost& host, QWidget* parent, const std::string& appFolder)
    : QDialog(parent), host_(host) {
  setObjectName("Dialog1");
  setWindowTitle("About us");
  setFont(WindowFont());
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

  Label1 = new QLabel("Quorvel", this);
  QFont big = font();
  big.setPixelSize(20);
  big.setBold(true);
  Label1->setFont(big);
  Label4 = new QLabel(kVersionText, this);
  Label5 = new QLabel(
      "Quorvel is provided as is, without warranty of any kind. You may use and copy it "
      "freely; the workbooks you convert and the text files it writes remain yours.",
      this);
  Label5->setWordWrap(true);
  appFolderLabel =
      new QLabel("Lists and settings are kept in " + QString::fromStdString(appFolder) + ".", this);
  appFolderLabel->setWordWrap(true);
  appFolderLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  appFolderLabel->setVisible(!appFolder.empty());

  Frame1 = new QGroupBox(this);
  Label3 = new QLabel("Technical Support:", Frame1);
  Label2 = new LinkLabel(kSupportEmail, Frame1);
  Label7 = new QLabel(" Website:", Frame1);
  Label8 = new LinkLabel(kHomePageAddress, Frame1);
  Label6 = new QLabel("Copyright (c) the Quorvel developers. All rights reserved.", Frame1);
  auto* contact = new QGridLayout(Frame1);
  contact->setHorizontalSpacing(8);
  contact->addWidget(Label3, 0, 0);
  contact->addWidget(Label2, 0, 1);
  contact->addWidget(Label7, 1, 0);
  contact->addWidget(Label8, 1, 1);
  contact->addWidget(Label6, 2, 0, 1, 2);
  contact->setColumnStretch(1, 1);

  OKButton = new QPushButton("OK", this);
  OKButton->setMinimumWidth(80);
  OKButton->setDefault(true);

  const std::pair<QWidget*, const char*> names[] = {{Label1, "Label1"},
                                                    {Label2, "Label2"},
                                                    {Label3, "Label3"},
                                                    {Label4, "Label4"},
                                                    {Label5, "Label5"},
                                                    {Label6, "Label6"},
                                                    {Label7, "Label7"},
                                                    {Label8, "Label8"},
                                                    {Frame1, "Frame1"},
                                                    {OKButton, "OKButton"},
                                                    {appFolderLabel, "appFolderLabel"}};
  for (const auto& [widget, name] : names) widget->setObjectName(name);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OKButton);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 16, 16, 12);
  layout->addWidget(Label1);
  layout->addWidget(Label4);
  layout->addSpacing(6);
  layout->addWidget(Label5);
  layout->addSpacing(6);
  layout->addWidget(appFolderLabel);
  layout->addSpacing(6);
  layout->addWidget(Frame1);
  layout->addLayout(buttons);
  setFixedWidth(380);
  setFixedHeight(heightForWidth(380) > 0 ? heightForWidth(380) : sizeHint().height());

  connect(Label2, &LinkLabel::clicked, this, &Dialog1::Label2_Click);
  connect(Label8, &LinkLabel::clicked, this, &Dialog1::Label8_Click);
  connect(OKButton, &QPushButton::clicked, this, &Dialog1::OKButton_Click);
}

void Dialog1::Label2_Click() {
  host_.openWith(std::string("mailto:") + kSupportEmail, kShowMaximized);
}

void Dialog1::Label8_Click() {
  host_.openWith(kHomePageAddress, kShowNormal);
}

void Dialog1::OKButton_Click() {
  accept();
}

}  // namespace quorvel
