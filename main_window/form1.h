#pragma once
// form1, the main window: the controls and menus at their fixed places,
// every command wired to its handler, and the window model the engine
// works on. Handlers translate a widget event into engine calls.
#include <QMainWindow>
#include <memory>
#include <string>

#include "engine/engine.h"
#include "engine/ui_interfaces.h"

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QToolButton;

namespace quorvel {

class DesktopHost;
class ListView;
class ListViewEntries;
class OutputCombo;
class OutputComboEntries;

// The naming-option texts of Combo1, positions 0 to 2.
inline constexpr const char* kNamingOptions[] = {
    "TXT Filename will be based on sheet name",
    "TXT Filename will be based on workbook name and sheet name ",
    "TXT Filename will be 1.txt,2.txt,3.txt,4.txt,5.txt,6.txt...."};

// At most this many history entries (indexes 0 to 200) are saved at exit.
inline constexpr int kMaxSavedHistory = 201;

class Form1 : public QMainWindow, public WindowModel {
  Q_OBJECT
 public:
  // `appFolder` holds EXCEL.txt, output.txt and set.txt.
  Form1(std::string appFolder, DesktopHost& host,
        spreadsheet::ApplicationFactory newApplication = {}, QWidget* parent = nullptr);
  ~Form1() override;

  const std::string& appFolder() const { return appFolder_; }
  Engine& engine() { return *engine_; }
  ListViewEntries& jobEntries() { return *jobEntries_; }

  // Controls, by their designer names.
  QToolButton* Command1;  // Add Excel
  QToolButton* Command5;  // Add Folder
  QToolButton* Command2;  // Remove File
  QToolButton* Command6;  // Convert
  QToolButton* Command8;  // Help
  QToolButton* Command7;  // HomePage
  QToolButton* Command9;  // Exit
  ListView* ListView1;    // job list
  QComboBox* Combo1;      // naming option
  ListView* ListView2;    // workbook list
  ListView* ListView3;    // worksheet list
  QToolButton* Command3;  // move up
  QToolButton* Command4;  // move down
  QLabel* Label1;         // status line
  QProgressBar* ProgressBar1;
  QLabel* Label3;
  OutputCombo* Combo5;     // output directory and its history
  QPushButton* Command10;  // Browse
  QPushButton* Command11;  // View
  QLabel* Label7;

  QMenu* EE;
  QAction* AddExcel;
  QAction* AddFolder;
  QMenu* FF;
  QAction* RemoveItem;
  QAction* RemoveAll;
  QAction* Removeoutput;
  QAction* RemoveAllOutput;
  QMenu* Actions;
  QAction* Separate;
  QAction* Settings;
  QMenu* Help;
  QAction* Help1;
  QAction* HomePage;
  QAction* About;

  // Start-up and shut-down.
  void Form_Load();
  void Form_Unload();
  // Job list and workbook browser.
  void Command1_Click();
  void AddExcel_Click() { Command1_Click(); }
  void Command5_Click();
  void AddFolder_Click() { Command5_Click(); }
  void Command2_Click();
  void RemoveItem_Click() { Command2_Click(); }
  void Command3_Click();
  void Command4_Click();
  void RemoveAll_Click();
  void ListView1_ItemClick();
  void ListView2_ItemClick();
  // Conversion.
  void Command6_Click();
  void Separate_Click() { Command6_Click(); }
  // Output directory history.
  void Command10_Click();
  void Command11_Click();
  void Removeoutput_Click();
  void RemoveAllOutput_Click();
  // Settings, help, home page, About, Exit.
  void Settings_Click();
  void Command8_Click();
  void Help1_Click() { Command8_Click(); }
  void Command7_Click();
  void HomePage_Click() { Command7_Click(); }
  void About_Click();
  void Command9_Click();

  // WindowModel.
  EntryList& jobList() override;
  EntryList& workbookList() override;
  EntryList& worksheetList() override;
  int namingOption() const override;
  ComboBox& outputBox() override;
  void setStatus(const std::string& text) override;
  void setProgressMax(int max) override;
  void setProgressValue(int value) override;
  void setPointer(int pointer) override;
  Desktop& desktop() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildControls();
  void buildMenus();
  void wireCommands();
  void moveJobEntry(int offset);
  void clearSheetNames();

  std::string appFolder_;
  DesktopHost& host_;
  std::unique_ptr<ListViewEntries> jobEntries_;
  std::unique_ptr<ListViewEntries> workbookEntries_;
  std::unique_ptr<ListViewEntries> worksheetEntries_;
  std::unique_ptr<OutputComboEntries> outputEntries_;
  std::unique_ptr<Engine> engine_;
  bool unloaded_ = false;
};

}  // namespace quorvel
