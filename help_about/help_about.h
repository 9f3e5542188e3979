#pragma once
// Help, the home page and the About box.
#include <QDialog>
#include <QLabel>
#include <string>
#include <vector>

class QGroupBox;
class QPushButton;

namespace quorvel {

class DesktopHost;

inline constexpr const char* kHomePageAddress = "https://quorvel.example.org/";
inline constexpr const char* kSupportEmail = "support@quorvel.example.org";
inline constexpr const char* kVersionText = "Version:29.12.29";

// Where the user guide's first page may be, in the order looked at:
// "guide/index.html" beside the executable (a build tree, a portable copy),
// then where an installation puts it, relative to the executable's folder.
std::vector<std::string> UserGuidePlaces(const std::string& executableFolder);
// Opens the first of those places that holds the guide with the desktop's
// browser; when none does, says so, naming where an installation keeps it.
void OpenHelpFile(DesktopHost& host, const std::string& executableFolder);
// The same, from the folder of the running executable.
void OpenHelpFile(DesktopHost& host);
void OpenHomePage(DesktopHost& host);
// Shows a fresh About box modally; `appFolder` is where the lists and
// settings are kept.
void ShowAboutBox(DesktopHost& host, QWidget* parent, const std::string& appFolder = {});

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
  AboutBox(DesktopHost& host, QWidget* parent = nullptr, const std::string& appFolder = {});

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
  QLabel* appFolderLabel_;       // where the lists and settings are kept
  QPushButton* okButton_;        // OKButton
  DesktopHost& host_;
};

}  // namespace quorvel
