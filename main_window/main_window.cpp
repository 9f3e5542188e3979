#include "main_window/main_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <cmath>
#include <vector>

#include "dialogs/desktop_host.h"
#include "dialogs/window_font.h"
#include "main_window/icons.h"
#include "main_window/list_view.h"
#include "main_window/output_combo.h"
#include "main_window/persisted_lists.h"
#include "settings/line_file.h"
#include "settings/settings_file.h"

namespace quorvel {

namespace {

// The layout is given in twips; 15 make one pixel at 96 dots per inch.
int Px(int twips) {
  return static_cast<int>(std::lround(twips / 15.0));
}

void Place(QWidget* widget, int left, int top, int width, int height) {
  widget->setGeometry(Px(left), Px(top), Px(width), Px(height));
}

QToolButton* ToolbarButton(QWidget* parent, const char* name, const QString& caption,
                           const QIcon& icon, int iconSize) {
  auto* button = new QToolButton(parent);
  button->setObjectName(name);
  button->setText(caption);
  button->setIcon(icon);
  button->setIconSize(QSize(iconSize, iconSize));
  button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  button->setFocusPolicy(Qt::StrongFocus);
  return button;
}

QLabel* Caption(QWidget* parent, const char* name, const QString& text) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  return label;
}

}  // namespace

MainWindow::MainWindow(std::string appFolder, DesktopHost& host,
                       spreadsheet::ApplicationFactory newApplication, QWidget* parent)
    : QMainWindow(parent), appFolder_(std::move(appFolder)), host_(host) {
  setObjectName("form1");
  setWindowTitle("Quorvel");
  setWindowIcon(icons::Product());
  setFont(WindowFont());
  buildControls();
  buildMenus();
  wireCommands();
  jobEntries_ = std::make_unique<ListViewEntries>(*jobList_);
  workbookEntries_ = std::make_unique<ListViewEntries>(*workbookList_);
  worksheetEntries_ = std::make_unique<ListViewEntries>(*worksheetList_);
  outputEntries_ = std::make_unique<OutputComboEntries>(*outputDirectoryBox_);
  procedures_ = std::make_unique<WindowProcedures>(*this, std::move(newApplication));
  loadLists();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildControls() {
  auto* client = new QWidget(this);
  client->setObjectName("client");
  client->setFixedSize(Px(9000), Px(8088));
  setCentralWidget(client);

  // One icon size for the whole toolbar keeps the captions on one line.
  addWorkbookButton_ = ToolbarButton(client, "Command1", "Add Excel", icons::AddWorkbook(), 40);
  addFolderButton_ = ToolbarButton(client, "Command5", "Add Folder", icons::AddFolder(), 40);
  removeJobButton_ = ToolbarButton(client, "Command2", "Remove File", icons::RemoveFile(), 40);
  convertButton_ = ToolbarButton(client, "Command6", "Convert", icons::Convert(), 40);
  helpButton_ = ToolbarButton(client, "Command8", "Help", icons::HelpBook(), 40);
  homePageButton_ = ToolbarButton(client, "Command7", "HomePage", icons::Home(), 40);
  exitButton_ = ToolbarButton(client, "Command9", "Exit", icons::ExitDoor(), 40);
  Place(addWorkbookButton_, 120, 0, 1210, 975);
  Place(addFolderButton_, 1440, 0, 1210, 975);
  Place(removeJobButton_, 2760, 0, 1330, 975);
  Place(convertButton_, 4200, 0, 1090, 975);
  Place(helpButton_, 5400, 0, 970, 975);
  Place(homePageButton_, 6480, 0, 1335, 975);
  Place(exitButton_, 7920, 0, 970, 975);

  jobList_ = new ListView("ListView1", false, client);
  jobList_->setSmallIcons({{kImageFile, icons::Workbook()},
                           {kImageFolder, icons::Folder()},
                           {kImageMissing, icons::Missing()}});
  jobList_->addColumn("Please Select the Excel File or Folder to Convert", 7800 / 15);
  Place(jobList_, 120, 1080, 8180, 2650);
  moveUpButton_ = ToolbarButton(client, "Command3", QString(), icons::ArrowUp(), 24);
  moveUpButton_->setToolButtonStyle(Qt::ToolButtonIconOnly);
  Place(moveUpButton_, 8400, 2040, 370, 610);
  moveDownButton_ = ToolbarButton(client, "Command4", QString(), icons::ArrowDown(), 24);
  moveDownButton_->setToolButtonStyle(Qt::ToolButtonIconOnly);
  Place(moveDownButton_, 8400, 2880, 370, 610);

  namingLabel_ = Caption(client, "Label3", "Convert Option:");
  // Wide enough for its caption in Arial, ending just before the naming box.
  Place(namingLabel_, 240, 3840, 1290, 330);
  namingBox_ = new QComboBox(client);
  namingBox_->setObjectName("Combo1");
  for (const char* text : kNamingOptions) namingBox_->addItem(text);
  namingBox_->setCurrentIndex(0);
  Place(namingBox_, 1560, 3840, 6730, 330);

  workbookList_ = new ListView("ListView2", true, client);
  workbookList_->addColumn("WorkBooks", 3600 / 15);
  Place(workbookList_, 120, 4200, 3975, 2895);
  worksheetList_ = new ListView("ListView3", true, client);
  worksheetList_->addColumn("WorkSheets", 3700 / 15);
  Place(worksheetList_, 4200, 4200, 4090, 2900);

  statusLabel_ = Caption(client, "Label1", QString());
  Place(statusLabel_, 120, 7200, 6975, 255);
  outputDirectoryLabel_ = Caption(client, "Label7", "Select  output directory:");
  Place(outputDirectoryLabel_, 120, 7440, 1935, 330);
  outputDirectoryBox_ = new OutputCombo(client);
  Place(outputDirectoryBox_, 2160, 7440, 4695, 330);
  browseButton_ = new QPushButton("Browse", client);
  browseButton_->setObjectName("Command10");
  Place(browseButton_, 6960, 7440, 975, 330);
  viewButton_ = new QPushButton("View", client);
  viewButton_->setObjectName("Command11");
  Place(viewButton_, 8040, 7440, 855, 330);
  for (QPushButton* button : {browseButton_, viewButton_}) {
    button->setAutoDefault(false);
    button->setDefault(false);
  }

  progressBar_ = new QProgressBar(client);
  progressBar_->setObjectName("ProgressBar1");
  progressBar_->setRange(0, 100);
  progressBar_->setValue(0);
  progressBar_->setTextVisible(false);
  Place(progressBar_, 120, 7800, 8775, 255);

  QWidget* tabOrder[] = {addWorkbookButton_, addFolderButton_,    removeJobButton_, convertButton_,
                         helpButton_,        homePageButton_,     exitButton_,      jobList_,
                         namingBox_,         workbookList_,       worksheetList_,   moveUpButton_,
                         moveDownButton_,    outputDirectoryBox_, browseButton_,    viewButton_};
  for (std::size_t i = 1; i < std::size(tabOrder); ++i)
    QWidget::setTabOrder(tabOrder[i - 1], tabOrder[i]);
}

void MainWindow::buildMenus() {
  QMenuBar* bar = menuBar();
  fileMenu_ = bar->addMenu("File");
  fileMenu_->setObjectName("EE");
  addWorkbookAction_ = fileMenu_->addAction("Add Excel");
  addFolderAction_ = fileMenu_->addAction("Add Folder");
  editMenu_ = bar->addMenu("Edit");
  editMenu_->setObjectName("FF");
  removeJobAction_ = editMenu_->addAction("Remove Item");
  removeAllAction_ = editMenu_->addAction("Remove All Items");
  removeOutputDirectoryAction_ = editMenu_->addAction("Remove Current Output Directory");
  removeAllOutputDirectoriesAction_ = editMenu_->addAction("Remove All Output Directory");
  actionsMenu_ = bar->addMenu("Actions");
  actionsMenu_->setObjectName("Actions");
  convertAction_ = actionsMenu_->addAction("Convert");
  settingsAction_ = bar->addAction("Settings");
  helpMenu_ = bar->addMenu("Help");
  helpMenu_->setObjectName("Help");
  helpAction_ = helpMenu_->addAction("Help");
  homePageAction_ = helpMenu_->addAction("HomePage");
  aboutAction_ = helpMenu_->addAction("About");
  const std::pair<QAction*, const char*> names[] = {
      {addWorkbookAction_, "AddExcel"},
      {addFolderAction_, "AddFolder"},
      {removeJobAction_, "RemoveItem"},
      {removeAllAction_, "RemoveAll"},
      {removeOutputDirectoryAction_, "Removeoutput"},
      {removeAllOutputDirectoriesAction_, "RemoveAllOutput"},
      {convertAction_, "Separate"},
      {settingsAction_, "Settings"},
      {helpAction_, "Help1"},
      {homePageAction_, "HomePage"},
      {aboutAction_, "About"}};
  for (const auto& [action, name] : names) action->setObjectName(name);
  // No access keys anywhere: an "&" in a caption would be one.
  menuBar()->setNativeMenuBar(false);
  setFixedSize(Px(9000), Px(8088) + menuBar()->sizeHint().height());
}

void MainWindow::wireCommands() {
  connect(addWorkbookButton_, &QToolButton::clicked, this, &MainWindow::onAddWorkbookClicked);
  connect(addFolderButton_, &QToolButton::clicked, this, &MainWindow::onAddFolderClicked);
  connect(removeJobButton_, &QToolButton::clicked, this, &MainWindow::onRemoveJobClicked);
  connect(convertButton_, &QToolButton::clicked, this, &MainWindow::onConvertClicked);
  connect(helpButton_, &QToolButton::clicked, this, &MainWindow::onHelpClicked);
  connect(homePageButton_, &QToolButton::clicked, this, &MainWindow::onHomePageClicked);
  connect(exitButton_, &QToolButton::clicked, this, &MainWindow::onExitClicked);
  connect(moveUpButton_, &QToolButton::clicked, this, &MainWindow::onMoveUpClicked);
  connect(moveDownButton_, &QToolButton::clicked, this, &MainWindow::onMoveDownClicked);
  connect(browseButton_, &QPushButton::clicked, this, &MainWindow::onBrowseClicked);
  connect(viewButton_, &QPushButton::clicked, this, &MainWindow::onViewClicked);
  connect(jobList_, &ListView::itemClick, this, &MainWindow::onJobSelected);
  connect(workbookList_, &ListView::itemClick, this, &MainWindow::onWorkbookSelected);
  connect(addWorkbookAction_, &QAction::triggered, this, &MainWindow::onAddWorkbookClicked);
  connect(addFolderAction_, &QAction::triggered, this, &MainWindow::onAddFolderClicked);
  connect(removeJobAction_, &QAction::triggered, this, &MainWindow::onRemoveJobClicked);
  connect(removeAllAction_, &QAction::triggered, this, &MainWindow::onRemoveAllClicked);
  connect(removeOutputDirectoryAction_, &QAction::triggered, this,
          &MainWindow::onRemoveOutputDirectoryClicked);
  connect(removeAllOutputDirectoriesAction_, &QAction::triggered, this,
          &MainWindow::onRemoveAllOutputDirectoriesClicked);
  connect(convertAction_, &QAction::triggered, this, &MainWindow::onConvertClicked);
  connect(settingsAction_, &QAction::triggered, this, &MainWindow::onSettingsClicked);
  connect(helpAction_, &QAction::triggered, this, &MainWindow::onHelpClicked);
  connect(homePageAction_, &QAction::triggered, this, &MainWindow::onHomePageClicked);
  connect(aboutAction_, &QAction::triggered, this, &MainWindow::onAboutClicked);
}

void MainWindow::loadLists() {
  // Every line becomes an entry, even empty ones and paths that are gone.
  for (const auto& line : ReadLines(JobListPath(appFolder_))) {
    const int index = jobEntries_->add(line);
    jobEntries_->setImage(index, ImageForPathKind(GetPathKind(line)));
  }

  for (const auto& line : ReadLines(OutputHistoryPath(appFolder_)))
    outputEntries_->insert(outputEntries_->count(), line);
  if (outputEntries_->count() >= 1)
    outputEntries_->select(0);
  else
    outputEntries_->select(-1);
}

void MainWindow::saveLists() {
  const auto switches = ReadSettings(appFolder_);
  std::vector<std::string> failed;
  if (switches.saveJobList) {
    std::vector<std::string> lines;
    for (int i = 1; i <= jobEntries_->count(); ++i) lines.push_back(jobEntries_->text(i));
    if (!WriteLines(JobListPath(appFolder_), lines)) failed.push_back(JobListPath(appFolder_));
  }
  if (switches.saveOutputHistory) {
    std::vector<std::string> lines;
    for (int i = 0; i < outputEntries_->count() && i < kMaxSavedHistory; ++i)
      lines.push_back(outputEntries_->entry(i));
    if (!WriteLines(OutputHistoryPath(appFolder_), lines))
      failed.push_back(OutputHistoryPath(appFolder_));
  }
  // The window still closes, but the user learns that the lists are not kept.
  for (const auto& path : failed)
    host_.showMessage("Failed to save \"" + path + "\"!", MessageStyle::Critical);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!unloaded_) {
    unloaded_ = true;
    saveLists();
  }
  event->accept();
}

EntryList& MainWindow::jobList() {
  return *jobEntries_;
}
EntryList& MainWindow::workbookList() {
  return *workbookEntries_;
}
EntryList& MainWindow::worksheetList() {
  return *worksheetEntries_;
}
int MainWindow::namingOption() const {
  return namingBox_->currentIndex();
}
ComboBox& MainWindow::outputBox() {
  return *outputEntries_;
}
Desktop& MainWindow::desktop() {
  return host_;
}
void MainWindow::setPointer(int pointer) {
  host_.setPointer(pointer);
}

// A conversion keeps the event loop waiting; the status line and the
// progress bar paint at once so the user sees how far it is.
void MainWindow::setStatus(const std::string& text) {
  statusLabel_->setText(QString::fromStdString(text));
  statusLabel_->repaint();
}

void MainWindow::setProgressMax(int max) {
  // A maximum of 0 would turn the bar into a busy indicator.
  progressBar_->setRange(0, std::max(max, 1));
  progressBar_->repaint();
}

void MainWindow::setProgressValue(int value) {
  progressBar_->setValue(std::clamp(value, progressBar_->minimum(), progressBar_->maximum()));
  progressBar_->repaint();
}

}  // namespace quorvel
