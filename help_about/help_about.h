#pragma once
// Help, the home page and the About box.
#include <QDialog>
#include <QLabel>
#include <string>

class QGroupBox;
class QPushButton;

namespace quorvel {

class DesktopHost;

inline constexpr const char* kHomePageAddress = "https://quorvel.example.org/";
inline constexpr const char* kSupportEmail = "support@quorvel.example.org";
inline constexpr const char* kVersionText = "Version:29.12.29";

// The application folder followed by "/help.chm"; not checked for existence.
std::string HelpFilePath(const std::string& appFolder);
void OpenHelpFile(DesktopHost& host, const std::string& appFolder);
void OpenHomePage(DesktopHost& host);
// Shows a fresh About box modally.
void ShowAboutBox(DesktopHost& host, QWidget* parent);

// A label that reports a click, for the About box's address labels.
class LinkLabel : public QLabel {
  Q_OBJECT
 public:
  explicit LinkLabel(const QString& text, QWidget* parent = nullptr);
 signals:
  void clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
};

// The About box; each control keeps its designer name as its objectName.
class AboutBox : public QDialog {
  Q_OBJECT
 public:
  AboutBox(DesktopHost& host, QWidget* parent = nullptr);

  void onSupportEmailClicked();
  void onHomePageClicked();
  void onOkClicked();

 private:
  QLabel* productLabel_;         // Label1, the product name
  QLabel* versionLabel_;         // Label4
  QLabel* noticeLabel_;          // Label5, the legal notice
  QGroupBox* contactFrame_;      // Frame1
  QLabel* supportCaption_;       // Label3 "Technical Support:"
  LinkLabel* supportEmailLink_;  // Label2, the support e-mail address
  QLabel* websiteCaption_;       // Label7 " Website:"
  LinkLabel* homePageLink_;      // Label8, the home page address
  QLabel* copyrightLabel_;       // Label6, the one-line legal notice
  QPushButton* okButton_;        // OKButton
  DesktopHost& host_;
};

}  // namespace quorvel
