#pragma once
// Help, the home page and the About box `Dialog1`.
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

class Dialog1 : public QDialog {
  Q_OBJECT
 public:
  Dialog1(DesktopHost& host, QWidget* parent = nullptr);

  QLabel* Label1;  // product name
  QLabel* Label4;  // version
  QLabel* Label5;  // legal notice
  QGroupBox* Frame1;
  QLabel* Label3;     // "Technical Support:"
  LinkLabel* Label2;  // the support e-mail address
  QLabel* Label7;     // " Website:"
  LinkLabel* Label8;  // the home page address
  QLabel* Label6;     // one-line legal notice
  QPushButton* OKButton;

  void Label2_Click();
  void Label8_Click();
  void OKButton_Click();

 private:
  DesktopHost& host_;
};

}  // namespace quorvel
