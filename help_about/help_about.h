#pragma once
// Help, the home page and the About box `Dialog1`.
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

class Dialog1 : public QDialog {
  Q_OBJECT
 public:
  Dialog1(DesktopHost& host, QWidget* parent = nullptr, const std::string& appFolder = {});

  QLabel* Label1;  // product name
  QLabel* Label4;  // version
  QLabel* Label5;  // legal notice
  QGroupBox* Frame1;
  QLabel* Label3;          // "Technical Support:"
  LinkLabel* Label2;       // the support e-mail address
  QLabel* Label7;          // " Website:"
  LinkLabel* Label8;       // the home page address
  QLabel* Label6;          // one-line legal notice
  QLabel* appFolderLabel;  // where the lists and settings are kept
  QPushButton* OKButton;

  void Label2_Click();
  void Label8_Click();
  void OKButton_Click();

 private:
  DesktopHost& host_;
};

}  // namespace quorvel
