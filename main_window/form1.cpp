#include "main_window/form1.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <cmath>

#include "dialogs/desktop_host.h"
#include "dialogs/window_font.h"
#include "main_window/icons.h"
#include "main_window/list_view.h"
#include "main_window/output_combo.h"

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

Form1::Form1(std::string appFolder, DesktopHost& host,
             spreadsheet::ApplicationFactory newApplication, QWidget* parent)
    : QMainWindow(parent), appFolder_(std::move(appFolder)), host_(host) {
  setObjectName("form1");
  setWindowTitle("Quorvel");
  setWindowIcon(icons::Product());
  setFont(WindowFont());
  buildControls();
  buildMenus();
  wireCommands();
  jobEntries_ = std::make_unique<ListViewEntries>(*ListView1);
  workbookEntries_ = std::make_unique<ListViewEntries>(*ListView2);
  worksheetEntries_ = std::make_unique<ListViewEntries>(*ListView3);
  outputEntries_ = std::make_unique<OutputComboEntries>(*Combo5);
  procedures_ = std::make_unique<WindowProcedures>(*this, std::move(newApplication));
  Form_Load();
}

Form1::~Form1() = default;

void Form1::buildControls() {
  auto* client = new QWidget(this);
  client->setObjectName("client");
  client->setFixedSize(Px(9000), Px(8088));
  setCentralWidget(client);

  // One icon size for the whole toolbar keeps the captions on one line.
  Command1 = ToolbarButton(client, "Command1", "Add Excel", icons::AddWorkbook(), 40);
  Command5 = ToolbarButton(client, "Command5", "Add Folder", icons::AddFolder(), 40);
  Command2 = ToolbarButton(client, "Command2", "Remove File", icons::RemoveFile(), 40);
  Command6 = ToolbarButton(client, "Command6", "Convert", icons::Convert(), 40);
  Command8 = ToolbarButton(client, "Command8", "Help", icons::HelpBook(), 40);
  Command7 = ToolbarButton(client, "Command7", "HomePage", icons::Home(), 40);
  Command9 = ToolbarButton(client, "Command9", "Exit", icons::ExitDoor(), 40);
  Place(Command1, 120, 0, 1210, 975);
  Place(Command5, 1440, 0, 1210, 975);
  Place(Command2, 2760, 0, 1330, 975);
  Place(Command6, 4200, 0, 1090, 975);
  Place(Command8, 5400, 0, 970, 975);
  Place(Command7, 6480, 0, 1335, 975);
  Place(Command9, 7920, 0, 970, 975);

  ListView1 = new ListView("ListView1", false, client);
  Place(ListView1, 120, 1080, 8180, 2650);
  Command3 = ToolbarButton(client, "Command3", QString(), icons::ArrowUp(), 24);
  Command3->setToolButtonStyle(Qt::ToolButtonIconOnly);
  Place(Command3, 8400, 2040, 370, 610);
  Command4 = ToolbarButton(client, "Command4", QString(), icons::ArrowDown(), 24);
  Command4->setToolButtonStyle(Qt::ToolButtonIconOnly);
  Place(Command4, 8400, 2880, 370, 610);

  Label3 = Caption(client, "Label3", "Convert Option:");
  // Wide enough for its caption in Arial, ending just before Combo1.
  Place(Label3, 240, 3840, 1290, 330);
  Combo1 = new QComboBox(client);
  Combo1->setObjectName("Combo1");
  Place(Combo1, 1560, 3840, 6730, 330);

  ListView2 = new ListView("ListView2", true, client);
  Place(ListView2, 120, 4200, 3975, 2895);
  ListView3 = new ListView("ListView3", true, client);
  Place(ListView3, 4200, 4200, 4090, 2900);

  Label1 = Caption(client, "Label1", QString());
  Place(Label1, 120, 7200, 6975, 255);
  Label7 = Caption(client, "Label7", "Select  output directory:");
  Place(Label7, 120, 7440, 1935, 330);
  Combo5 = new OutputCombo(client);
  Place(Combo5, 2160, 7440, 4695, 330);
  Command10 = new QPushButton("Browse", client);
  Command10->setObjectName("Command10");
  Place(Command10, 6960, 7440, 975, 330);
  Command11 = new QPushButton("View", client);
  Command11->setObjectName("Command11");
  Place(Command11, 8040, 7440, 855, 330);
  for (QPushButton* button : {Command10, Command11}) {
    button->setAutoDefault(false);
    button->setDefault(false);
  }

  ProgressBar1 = new QProgressBar(client);
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);
  Place(ProgressBar1, 120, 7800, 8775, 255);

  QWidget* tabOrder[] = {Command1, Command5,  Command2,  Command6,  Command8,  Command7,
                         Command9, ListView1, Combo1,    ListView2, ListView3, Command3,
                         Command4, Combo5,    Command10, Command11};
  for (std::size_t i = 1; i < std::size(tabOrder); ++i)
    QWidget::setTabOrder(tabOrder[i - 1], tabOrder[i]);
}

void Form1::buildMenus() {
  QMenuBar* bar = menuBar();
  EE = bar->addMenu("File");
  EE->setObjectName("EE");
  AddExcel = EE->addAction("Add Excel");
  AddFolder = EE->addAction("Add Folder");
  FF = bar->addMenu("Edit");
  FF->setObjectName("FF");
  RemoveItem = FF->addAction("Remove Item");
  RemoveAll = FF->addAction("Remove All Items");
  Removeoutput = FF->addAction("Remove Current Output Directory");
  RemoveAllOutput = FF->addAction("Remove All Output Directory");
  Actions = bar->addMenu("Actions");
  Actions->setObjectName("Actions");
  Separate = Actions->addAction("Convert");
  Settings = bar->addAction("Settings");
  Help = bar->addMenu("Help");
  Help->setObjectName("Help");
  Help1 = Help->addAction("Help");
  HomePage = Help->addAction("HomePage");
  About = Help->addAction("About");
  const std::pair<QAction*, const char*> names[] = {{AddExcel, "AddExcel"},
                                                    {AddFolder, "AddFolder"},
                                                    {RemoveItem, "RemoveItem"},
                                                    {RemoveAll, "RemoveAll"},
                                                    {Removeoutput, "Removeoutput"},
                                                    {RemoveAllOutput, "RemoveAllOutput"},
                                                    {Separate, "Separate"},
                                                    {Settings, "Settings"},
                                                    {Help1, "Help1"},
                                                    {HomePage, "HomePage"},
                                                    {About, "About"}};
  for (const auto& [action, name] : names) action->setObjectName(name);
  // No access keys anywhere: an "&" in a caption would be one.
  menuBar()->setNativeMenuBar(false);
  setFixedSize(Px(9000), Px(8088) + menuBar()->sizeHint().height());
}

void Form1::wireCommands() {
  connect(Command1, &QToolButton::clicked, this, &Form1::Command1_Click);
  connect(Command5, &QToolButton::clicked, this, &Form1::Command5_Click);
  connect(Command2, &QToolButton::clicked, this, &Form1::Command2_Click);
  connect(Command6, &QToolButton::clicked, this, &Form1::Command6_Click);
  connect(Command8, &QToolButton::clicked, this, &Form1::Command8_Click);
  connect(Command7, &QToolButton::clicked, this, &Form1::Command7_Click);
  connect(Command9, &QToolButton::clicked, this, &Form1::Command9_Click);
  connect(Command3, &QToolButton::clicked, this, &Form1::Command3_Click);
  connect(Command4, &QToolButton::clicked, this, &Form1::Command4_Click);
  connect(Command10, &QPushButton::clicked, this, &Form1::Command10_Click);
  connect(Command11, &QPushButton::clicked, this, &Form1::Command11_Click);
  connect(ListView1, &ListView::itemClick, this, &Form1::ListView1_ItemClick);
  connect(ListView2, &ListView::itemClick, this, &Form1::ListView2_ItemClick);
  connect(AddExcel, &QAction::triggered, this, &Form1::AddExcel_Click);
  connect(AddFolder, &QAction::triggered, this, &Form1::AddFolder_Click);
  connect(RemoveItem, &QAction::triggered, this, &Form1::RemoveItem_Click);
  connect(RemoveAll, &QAction::triggered, this, &Form1::RemoveAll_Click);
  connect(Removeoutput, &QAction::triggered, this, &Form1::Removeoutput_Click);
  connect(RemoveAllOutput, &QAction::triggered, this, &Form1::RemoveAllOutput_Click);
  connect(Separate, &QAction::triggered, this, &Form1::Separate_Click);
  connect(Settings, &QAction::triggered, this, &Form1::Settings_Click);
  connect(Help1, &QAction::triggered, this, &Form1::Help1_Click);
  connect(HomePage, &QAction::triggered, this, &Form1::HomePage_Click);
  connect(About, &QAction::triggered, this, &Form1::About_Click);
}

void Form1::closeEvent(QCloseEvent* event) {
  if (!unloaded_) {
    unloaded_ = true;
    Form_Unload();
  }
  event->accept();
}

EntryList& Form1::jobList() {
  return *jobEntries_;
}
EntryList& Form1::workbookList() {
  return *workbookEntries_;
}
EntryList& Form1::worksheetList() {
  return *worksheetEntries_;
}
int Form1::namingOption() const {
  return Combo1->currentIndex();
}
ComboBox& Form1::outputBox() {
  return *outputEntries_;
}
Desktop& Form1::desktop() {
  return host_;
}
void Form1::setPointer(int pointer) {
  host_.setPointer(pointer);
}

// A conversion keeps the event loop waiting; the status line and the
// progress bar paint at once so the user sees how far it is.
void Form1::setStatus(const std::string& text) {
  Label1->setText(QString::fromStdString(text));
  Label1->repaint();
}

void Form1::setProgressMax(int max) {
  // A maximum of 0 would turn the bar into a busy indicator.
  ProgressBar1->setRange(0, std::max(max, 1));
  ProgressBar1->repaint();
}

void Form1::setProgressValue(int value) {
  ProgressBar1->setValue(std::clamp(value, ProgressBar1->minimum(), ProgressBar1->maximum()));
  ProgressBar1->repaint();
}

}  // namespace quorvel
