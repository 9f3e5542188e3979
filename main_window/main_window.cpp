#include "main_window/main_window.h"

#include <QBoxLayout>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <algorithm>
#include <vector>

#include "dialogs/desktop_host.h"
#include "dialogs/window_font.h"
#include "main_window/conversion_thread.h"
#include "main_window/elided_label.h"
#include "main_window/icons.h"
#include "main_window/list_view.h"
#include "main_window/output_combo.h"
#include "main_window/persisted_lists.h"
#include "settings/line_file.h"
#include "settings/settings_file.h"

namespace quorvel {

namespace {

// The designer gave sizes in twips; 15 make one pixel at 96 dots per inch.
constexpr int Px(int twips) {
  return (twips + 7) / 15;
}

// A toolbar button as wide as the designer drew it, narrower only when the
// window is: then as narrow as its caption allows.
class ToolbarButton : public QToolButton {
 public:
  ToolbarButton(QWidget* parent, const char* name, const QString& caption, const QIcon& icon,
                int iconSize, QSize design)
      : QToolButton(parent), design_(design) {
    setObjectName(name);
    setText(caption);
    setIcon(icon);
    setIconSize(QSize(iconSize, iconSize));
    setToolButtonStyle(caption.isEmpty() ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextUnderIcon);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
  }
  QSize sizeHint() const override { return design_.expandedTo(QToolButton::sizeHint()); }
  QSize minimumSizeHint() const override {
    return QSize(QToolButton::sizeHint().width(), sizeHint().height());
  }

 private:
  QSize design_;
};

QLabel* Caption(QWidget* parent, const char* name, const QString& text, int designWidth) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  label->setMinimumWidth(designWidth);
  label->setFixedHeight(Px(330));
  return label;
}

// A band of the window: its own left and right margins, no spacing.
QHBoxLayout* Band(int left, int right) {
  auto* band = new QHBoxLayout;
  band->setContentsMargins(left, 0, right, 0);
  band->setSpacing(0);
  return band;
}

}  // namespace

MainWindow::MainWindow(std::string appFolder, DesktopHost& host,
                       spreadsheet::ApplicationFactory newApplication, QWidget* parent)
    : QMainWindow(parent), appFolder_(std::move(appFolder)), host_(host) {
  setObjectName("form1");
  setWindowTitle("Quorvel");
  setWindowIcon(icons::Product());
  setFont(WindowFont());
  setAcceptDrops(true);
  buildControls();
  buildMenus();
  wireCommands();
  jobEntries_ = std::make_unique<ListViewEntries>(*jobList_);
  workbookEntries_ = std::make_unique<ListViewEntries>(*workbookList_);
  worksheetEntries_ = std::make_unique<ListViewEntries>(*worksheetList_);
  outputEntries_ = std::make_unique<OutputComboEntries>(*outputDirectoryBox_);
  procedures_ = std::make_unique<WindowProcedures>(*this, std::move(newApplication));
  run_ = std::make_unique<ConversionThread>(*procedures_);
  connect(run_.get(), &ConversionThread::statusChanged, this,
          [this](const QString& text) { setStatus(text.toStdString()); });
  connect(run_.get(), &ConversionThread::progressChanged, this, &MainWindow::setProgressValue);
  connect(run_.get(), &ConversionThread::passwordWanted, this, &MainWindow::onPasswordWanted);
  connect(run_.get(), &ConversionThread::finished, this, &MainWindow::onConversionFinished);
  loadLists();

  // The designer's size, or as much of it as the screen has room for.
  QSize size(kDesignWidth, kDesignHeight + menuBar()->sizeHint().height());
  if (const QScreen* screen = this->screen()) {
    // Room for the frame the window manager adds.
    const QSize room = screen->availableGeometry().size() - QSize(16, 48);
    size = size.boundedTo(room).expandedTo(minimumSizeHint());
  }
  resize(size);
}

MainWindow::~MainWindow() {
  // The run's thread works on the procedures' values: it ends first.
  run_.reset();
}

void MainWindow::buildControls() {
  auto* client = new QWidget(this);
  client->setObjectName("client");
  setCentralWidget(client);

  // One icon size for the whole toolbar keeps the captions on one line.
  auto button = [&](const char* name, const char* caption, const QIcon& icon, int twips) {
    return new ToolbarButton(client, name, caption, icon, 40, QSize(Px(twips), Px(975)));
  };
  addWorkbookButton_ = button("Command1", "A&dd Excel", icons::AddWorkbook(), 1210);
  addFolderButton_ = button("Command5", "Add Fo&lder", icons::AddFolder(), 1210);
  removeJobButton_ = button("Command2", "&Remove File", icons::RemoveFile(), 1330);
  convertButton_ = button("Command6", "&Convert", icons::Convert(), 1090);
  helpButton_ = button("Command8", "Hel&p", icons::HelpBook(), 970);
  homePageButton_ = button("Command7", "Ho&mePage", icons::Home(), 1335);
  exitButton_ = button("Command9", "E&xit", icons::ExitDoor(), 970);
  moveUpButton_ = new ToolbarButton(client, "Command3", QString(), icons::ArrowUp(), 24,
                                    QSize(Px(370), Px(610)));
  moveDownButton_ = new ToolbarButton(client, "Command4", QString(), icons::ArrowDown(), 24,
                                      QSize(Px(370), Px(610)));
  for (QToolButton* arrow : {moveUpButton_, moveDownButton_}) arrow->setFixedSize(Px(370), Px(610));
  moveUpButton_->setToolTip("Move the selected entry up");
  moveDownButton_->setToolTip("Move the selected entry down");

  jobList_ = new ListView("ListView1", false, client);
  jobList_->setSmallIcons({{kImageFile, icons::Workbook()},
                           {kImageFolder, icons::Folder()},
                           {kImageMissing, icons::Missing()}});
  jobList_->addColumn("Please Select the Excel File or Folder to Convert");

  namingBox_ = new QComboBox(client);
  namingBox_->setObjectName("Combo1");
  for (const char* text : kNamingOptions) namingBox_->addItem(text);
  namingBox_->setCurrentIndex(0);
  namingBox_->setFixedHeight(Px(330));
  // The longest option would set the window's least width.
  namingBox_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  namingBox_->setMinimumContentsLength(20);
  namingLabel_ = Caption(client, "Label3", "Convert Op&tion:", Px(1290));
  namingLabel_->setBuddy(namingBox_);

  workbookList_ = new ListView("ListView2", true, client);
  workbookList_->addColumn("WorkBooks");
  worksheetList_ = new ListView("ListView3", true, client);
  worksheetList_->addColumn("WorkSheets");
  worksheetList_->setLabelsEditable(true);
  for (ListView* list : {jobList_, workbookList_, worksheetList_}) list->setMinimumHeight(60);

  statusLabel_ = new ElidedLabel(client);
  statusLabel_->setObjectName("Label1");
  statusLabel_->setFixedHeight(Px(240));

  outputDirectoryBox_ = new OutputCombo(client);
  outputDirectoryBox_->setFixedHeight(Px(330));
  outputDirectoryBox_->setMinimumContentsLength(12);
  outputDirectoryBox_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  outputDirectoryLabel_ = Caption(client, "Label7", "Select  o&utput directory:", Px(1935));
  outputDirectoryLabel_->setBuddy(outputDirectoryBox_);
  browseButton_ = new QPushButton("&Browse", client);
  browseButton_->setObjectName("Command10");
  viewButton_ = new QPushButton("&View", client);
  viewButton_->setObjectName("Command11");
  const std::pair<QPushButton*, int> small[] = {{browseButton_, 975}, {viewButton_, 855}};
  for (const auto& [small, twips] : small) {
    small->setAutoDefault(false);
    small->setDefault(false);
    const int caption = small->fontMetrics().horizontalAdvance(small->text().remove('&')) + 12;
    small->setFixedSize(std::max(Px(twips), caption), Px(330));
  }

  progressBar_ = new QProgressBar(client);
  progressBar_->setObjectName("ProgressBar1");
  progressBar_->setRange(0, 100);
  progressBar_->setValue(0);
  progressBar_->setTextVisible(false);
  progressBar_->setFixedHeight(Px(255));

  for (QWidget* passive : std::initializer_list<QWidget*>{statusLabel_, namingLabel_,
                                                          outputDirectoryLabel_, progressBar_})
    passive->setFocusPolicy(Qt::NoFocus);

  // The bands from top to bottom, spaced as the designer placed them at
  // 600 x 539; the job list and the two lists below take what the window
  // has more or less than that.
  auto* bands = new QVBoxLayout(client);
  bands->setContentsMargins(0, 0, 0, 0);
  bands->setSpacing(0);

  QHBoxLayout* tools = Band(Px(120), 0);
  tools->setSpacing(Px(110));
  for (QToolButton* b : {addWorkbookButton_, addFolderButton_, removeJobButton_, convertButton_,
                         helpButton_, homePageButton_, exitButton_})
    tools->addWidget(b);
  tools->addStretch(1);
  bands->addLayout(tools);
  bands->addSpacing(Px(1080) - Px(975));

  // The arrows stand at the right of the list, a little below its middle.
  QHBoxLayout* jobs = Band(Px(120), kDesignWidth - Px(8400 + 370));
  jobs->addWidget(jobList_, 1);
  jobs->addSpacing(Px(8400) - Px(120 + 8180));
  auto* arrows = new QVBoxLayout;
  arrows->setSpacing(0);
  arrows->addStretch(Px(2040) - Px(1080));
  arrows->addWidget(moveUpButton_);
  arrows->addSpacing(Px(2880) - Px(2040 + 610));
  arrows->addWidget(moveDownButton_);
  arrows->addStretch(Px(1080 + 2650) - Px(2880 + 610));
  jobs->addLayout(arrows);
  bands->addLayout(jobs, Px(2650));
  bands->addSpacing(Px(3840) - Px(1080 + 2650));

  const int listsRight = kDesignWidth - Px(120 + 8180);
  QHBoxLayout* naming = Band(Px(240), listsRight);
  naming->addWidget(namingLabel_);
  naming->addSpacing(Px(1560) - Px(240 + 1290));
  naming->addWidget(namingBox_, 1);
  bands->addLayout(naming);
  bands->addSpacing(Px(4200) - Px(3840 + 330));

  QHBoxLayout* lists = Band(Px(120), listsRight);
  lists->addWidget(workbookList_, Px(3975));
  lists->addSpacing(Px(4200) - Px(120 + 3975));
  lists->addWidget(worksheetList_, Px(4090));
  bands->addLayout(lists, Px(2895));
  bands->addSpacing(Px(7200) - Px(4200 + 2895));

  const int right = kDesignWidth - Px(8040 + 855);
  QHBoxLayout* status = Band(Px(120), right);
  status->addWidget(statusLabel_);
  bands->addLayout(status);

  QHBoxLayout* output = Band(Px(120), right);
  output->addWidget(outputDirectoryLabel_);
  output->addSpacing(Px(2160) - Px(120 + 1935));
  output->addWidget(outputDirectoryBox_, 1);
  output->addSpacing(Px(6960) - Px(2160 + 4695));
  output->addWidget(browseButton_);
  output->addSpacing(Px(8040) - Px(6960 + 975));
  output->addWidget(viewButton_);
  bands->addLayout(output);
  bands->addSpacing(Px(7800) - Px(7440 + 330));

  QHBoxLayout* progress = Band(Px(120), right);
  progress->addWidget(progressBar_);
  bands->addLayout(progress);
  bands->addSpacing(Px(8088) - Px(7800 + 255));

  QWidget* tabOrder[] = {addWorkbookButton_, addFolderButton_,    removeJobButton_, convertButton_,
                         helpButton_,        homePageButton_,     exitButton_,      jobList_,
                         namingBox_,         workbookList_,       worksheetList_,   moveUpButton_,
                         moveDownButton_,    outputDirectoryBox_, browseButton_,    viewButton_};
  for (std::size_t i = 1; i < std::size(tabOrder); ++i)
    QWidget::setTabOrder(tabOrder[i - 1], tabOrder[i]);
}

void MainWindow::buildMenus() {
  QMenuBar* bar = menuBar();
  bar->setNativeMenuBar(false);
  fileMenu_ = bar->addMenu("&File");
  fileMenu_->setObjectName("EE");
  addWorkbookAction_ = fileMenu_->addAction("Add &Excel");
  addWorkbookAction_->setShortcut(QKeySequence::Open);
  addFolderAction_ = fileMenu_->addAction("Add &Folder");
  addFolderAction_->setShortcut(Qt::CTRL | Qt::SHIFT | Qt::Key_O);
  fileMenu_->addSeparator();
  quitAction_ = fileMenu_->addAction("&Quit");
  quitAction_->setShortcut(Qt::CTRL | Qt::Key_Q);
  editMenu_ = bar->addMenu("&Edit");
  editMenu_->setObjectName("FF");
  removeJobAction_ = editMenu_->addAction("&Remove Item");
  // Del removes a job only where the job list has the keyboard; in the
  // output box it deletes text.
  removeJobAction_->setShortcut(QKeySequence::Delete);
  removeJobAction_->setShortcutContext(Qt::WidgetShortcut);
  jobList_->addAction(removeJobAction_);
  removeAllAction_ = editMenu_->addAction("Remove &All Items");
  removeOutputDirectoryAction_ = editMenu_->addAction("Remove &Current Output Directory");
  removeAllOutputDirectoriesAction_ = editMenu_->addAction("Remove All &Output Directory");
  actionsMenu_ = bar->addMenu("&Actions");
  actionsMenu_->setObjectName("Actions");
  convertAction_ = actionsMenu_->addAction("&Convert");
  settingsAction_ = bar->addAction("&Settings");
  helpMenu_ = bar->addMenu("&Help");
  helpMenu_->setObjectName("Help");
  helpAction_ = helpMenu_->addAction("&Help");
  helpAction_->setShortcut(Qt::Key_F1);
  homePageAction_ = helpMenu_->addAction("Home&Page");
  aboutAction_ = helpMenu_->addAction("&About");
  const std::pair<QAction*, const char*> names[] = {
      {addWorkbookAction_, "AddExcel"},
      {addFolderAction_, "AddFolder"},
      {quitAction_, "Quit"},
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
  // Menus are windows of their own and would take the desktop's font.
  bar->setFont(WindowFont());
  for (QMenu* menu : {fileMenu_, editMenu_, actionsMenu_, helpMenu_}) menu->setFont(WindowFont());
  setConverting(false);
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
  connect(quitAction_, &QAction::triggered, this, &MainWindow::onExitClicked);
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
  // Nothing is highlighted until the user picks an entry, as nothing is
  // listed until then.
  jobEntries_->select(0);

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
  if (converting()) {
    // The window closes once the run has stopped.
    event->ignore();
    if (closeAfterRun_ || !host_.confirm("A conversion is running. Stop it and close Quorvel?"))
      return;
    closeAfterRun_ = true;
    onCancelClicked();
    return;
  }
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

void MainWindow::setStatus(const std::string& text) {
  statusLabel_->setText(QString::fromStdString(text));
  statusLabel_->setToolTip(statusLabel_->text());
}

void MainWindow::setProgressMax(int max) {
  // A maximum of 0 would turn the bar into a busy indicator.
  progressBar_->setRange(0, std::max(max, 1));
}

void MainWindow::setProgressValue(int value) {
  progressBar_->setValue(std::clamp(value, progressBar_->minimum(), progressBar_->maximum()));
}

}  // namespace quorvel
