#pragma once
// The main window: the controls and menus laid out as the designer placed
// them at the default size, every command wired to its handler, and the
// window model the window's procedures work on. Handlers translate a
// widget event into engine calls. Each control keeps its designer name as
// its objectName ("Command6" is the Convert button), so tests and anyone
// comparing with the designer's form find it.
#include <QMainWindow>
#include <QPointer>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/window/window_model.h"
#include "engine/window/window_procedures.h"

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QToolButton;

namespace quorvel {

class ConversionThread;
class DesktopHost;
class ElidedLabel;
class ListView;
class ListViewEntries;
class OutputCombo;
class OutputComboEntries;
class PasswordDialog;

// The naming-option texts, positions 0 to 2.
inline constexpr const char* kNamingOptions[] = {
    "TXT Filename will be based on sheet name",
    "TXT Filename will be based on workbook name and sheet name ",
    "TXT Filename will be 1.txt,2.txt,3.txt,4.txt,5.txt,6.txt...."};

// At most this many history entries (indexes 0 to 200) are saved at exit.
inline constexpr int kMaxSavedHistory = 201;

// The client area's size as the designer drew it: the window opens at this
// size where the screen has room for it.
inline constexpr int kDesignWidth = 600;
inline constexpr int kDesignHeight = 539;

class MainWindow : public QMainWindow, public WindowModel {
  Q_OBJECT
 public:
  // `appFolder` holds EXCEL.txt, output.txt and set.txt.
  MainWindow(std::string appFolder, DesktopHost& host,
             spreadsheet::ApplicationFactory newApplication = {}, QWidget* parent = nullptr);
  ~MainWindow() override;

  const std::string& appFolder() const { return appFolder_; }
  WindowProcedures& procedures() { return *procedures_; }
  ListViewEntries& jobEntries() { return *jobEntries_; }
  bool converting() const;

  // Job list and workbook browser. A menu item with a button's role runs
  // the button's handler.
  void onAddWorkbookClicked();  // "Add Excel"
  void onAddFolderClicked();
  void onRemoveJobClicked();  // "Remove File", "Remove Item"
  void onMoveUpClicked();
  void onMoveDownClicked();
  void onRemoveAllClicked();
  void onJobSelected();
  void onWorkbookSelected();
  // Conversion: Convert starts a run, and while it lasts cancels it.
  void onConvertClicked();
  void onCancelClicked();
  // Output directory history.
  void onBrowseClicked();
  void onViewClicked();
  void onRemoveOutputDirectoryClicked();
  void onRemoveAllOutputDirectoriesClicked();
  // Settings, help, home page, About, Exit (and Quit).
  void onSettingsClicked();
  void onHelpClicked();
  void onHomePageClicked();
  void onAboutClicked();
  void onExitClicked();

  // Files and folders as a drop or a dialog gives them: workbook files and
  // folders join the job list, the last of them listed; the rest are
  // named in one message.
  void addPaths(const std::vector<std::string>& paths);

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

 signals:
  // A conversion run has ended and the window shows its end.
  void conversionFinished();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void buildControls();
  void buildMenus();
  void wireCommands();
  // Start-up: the job list and the output-directory history from their
  // files. Shut-down: both written back, each as its setting says.
  void loadLists();
  void saveLists();
  void moveJobEntry(int offset);
  void clearSheetNames();
  // Appends job entries (path and image) and lists the workbooks of the last.
  void addJobEntries(const std::vector<std::pair<std::string, int>>& entries);
  // Whether a drop there adds to the job list.
  bool takesDrop(const QDropEvent& event) const;
  // Where the file and folder dialogs for the job list start.
  std::string jobDialogFolder() const;
  // The run: controls that change its input are off while it lasts.
  void setConverting(bool converting);
  void onConversionFinished();
  void onPasswordWanted(const QString& workbook, bool again);

  // Controls; the designer name is the objectName.
  QToolButton* addWorkbookButton_;   // Command1 "Add Excel"
  QToolButton* addFolderButton_;     // Command5
  QToolButton* removeJobButton_;     // Command2 "Remove File"
  QToolButton* convertButton_;       // Command6
  QToolButton* helpButton_;          // Command8
  QToolButton* homePageButton_;      // Command7
  QToolButton* exitButton_;          // Command9
  ListView* jobList_;                // ListView1
  QComboBox* namingBox_;             // Combo1, the naming option
  ListView* workbookList_;           // ListView2
  ListView* worksheetList_;          // ListView3
  QToolButton* moveUpButton_;        // Command3
  QToolButton* moveDownButton_;      // Command4
  ElidedLabel* statusLabel_;         // Label1
  QProgressBar* progressBar_;        // ProgressBar1
  QLabel* namingLabel_;              // Label3
  OutputCombo* outputDirectoryBox_;  // Combo5, the output directory and its history
  QPushButton* browseButton_;        // Command10
  QPushButton* viewButton_;          // Command11
  QLabel* outputDirectoryLabel_;     // Label7

  // Menus and their items, likewise.
  QMenu* fileMenu_;                            // EE
  QAction* addWorkbookAction_;                 // AddExcel
  QAction* addFolderAction_;                   // AddFolder
  QAction* quitAction_;                        // Quit
  QMenu* editMenu_;                            // FF
  QAction* removeJobAction_;                   // RemoveItem
  QAction* removeAllAction_;                   // RemoveAll
  QAction* removeOutputDirectoryAction_;       // Removeoutput
  QAction* removeAllOutputDirectoriesAction_;  // RemoveAllOutput
  QMenu* actionsMenu_;                         // Actions
  QAction* convertAction_;                     // Separate
  QAction* settingsAction_;                    // Settings
  QMenu* helpMenu_;                            // Help
  QAction* helpAction_;                        // Help1
  QAction* homePageAction_;                    // HomePage
  QAction* aboutAction_;                       // About

  std::string appFolder_;
  DesktopHost& host_;
  std::unique_ptr<ListViewEntries> jobEntries_;
  std::unique_ptr<ListViewEntries> workbookEntries_;
  std::unique_ptr<ListViewEntries> worksheetEntries_;
  std::unique_ptr<OutputComboEntries> outputEntries_;
  std::unique_ptr<WindowProcedures> procedures_;
  std::unique_ptr<ConversionThread> run_;
  QPointer<PasswordDialog> runPassword_;  // asked for by the run, open
  std::string lastJobFolder_;             // the last folder the job dialogs chose in
  std::string lastOutputFolder_;          // the last folder Browse chose
  bool closeAfterRun_ = false;
  bool unloaded_ = false;
};

}  // namespace quorvel
