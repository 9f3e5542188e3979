#pragma once
// A main window over a temporary application folder, the scripted host and
// the scripted spreadsheet component, with helpers that act like a user.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest/QTest>
#include <functional>
#include <memory>

#include "main_window/list_view.h"
#include "main_window/main_window.h"
#include "main_window/output_combo.h"
#include "settings/setting_dialog.h"
#include "tests/gui/named_widget.h"
#include "tests/gui/scripted_host.h"
#include "tests/support/fake_application.h"
#include "tests/support/test_support.h"

namespace quorvel::test {

class WindowTest : public ::testing::Test {
 protected:
  TempDir app;   // the application folder
  TempDir data;  // workbooks and output folders
  ScriptedHost host;
  std::shared_ptr<FakeScript> script = std::make_shared<FakeScript>();
  std::unique_ptr<MainWindow> form;
  bool realSpreadsheet = false;  // the program's own component instead of the script

  std::string appFile(const std::string& name) const { return app.file(name); }

  // The window's controls, found by their designer names.
  ListView* jobList() const { return named<ListView>(*form, "ListView1"); }
  ListView* workbookList() const { return named<ListView>(*form, "ListView2"); }
  ListView* worksheetList() const { return named<ListView>(*form, "ListView3"); }
  OutputCombo* outputDirectoryBox() const { return named<OutputCombo>(*form, "Combo5"); }
  QComboBox* namingBox() const { return named<QComboBox>(*form, "Combo1"); }
  QPushButton* browseButton() const { return named<QPushButton>(*form, "Command10"); }
  QPushButton* viewButton() const { return named<QPushButton>(*form, "Command11"); }
  QToolButton* addWorkbookButton() const { return named<QToolButton>(*form, "Command1"); }
  QToolButton* addFolderButton() const { return named<QToolButton>(*form, "Command5"); }
  QToolButton* removeJobButton() const { return named<QToolButton>(*form, "Command2"); }
  QToolButton* convertButton() const { return named<QToolButton>(*form, "Command6"); }
  QToolButton* helpButton() const { return named<QToolButton>(*form, "Command8"); }
  QToolButton* homePageButton() const { return named<QToolButton>(*form, "Command7"); }
  QToolButton* exitButton() const { return named<QToolButton>(*form, "Command9"); }
  QToolButton* moveUpButton() const { return named<QToolButton>(*form, "Command3"); }
  QToolButton* moveDownButton() const { return named<QToolButton>(*form, "Command4"); }
  QLabel* statusLabel() const { return named<QLabel>(*form, "Label1"); }
  QLabel* namingLabel() const { return named<QLabel>(*form, "Label3"); }
  QLabel* outputDirectoryLabel() const { return named<QLabel>(*form, "Label7"); }
  QProgressBar* progressBar() const { return named<QProgressBar>(*form, "ProgressBar1"); }
  QAction* addWorkbookAction() const { return named<QAction>(*form, "AddExcel"); }
  QAction* addFolderAction() const { return named<QAction>(*form, "AddFolder"); }
  QAction* removeJobAction() const { return named<QAction>(*form, "RemoveItem"); }
  QAction* removeAllOutputDirectoriesAction() const {
    return named<QAction>(*form, "RemoveAllOutput");
  }
  QAction* removeAllAction() const { return named<QAction>(*form, "RemoveAll"); }
  QAction* removeOutputDirectoryAction() const { return named<QAction>(*form, "Removeoutput"); }
  QAction* convertAction() const { return named<QAction>(*form, "Separate"); }
  QAction* settingsAction() const { return named<QAction>(*form, "Settings"); }
  QAction* helpAction() const { return named<QAction>(*form, "Help1"); }
  QAction* homePageAction() const { return named<QAction>(*form, "HomePage"); }
  QAction* aboutAction() const { return named<QAction>(*form, "About"); }
  QAction* quitAction() const { return named<QAction>(*form, "Quit"); }

  // A run lasts at most this long in a test, on a machine under load.
  static constexpr int kRunTimeoutMs = 120000;

  // Presses Convert (or does `press`) and waits until the run has ended;
  // returns at once when no run starts.
  void convertAndWait(const std::function<void()>& press = {}) {
    QSignalSpy finished(form.get(), &MainWindow::conversionFinished);
    if (press)
      press();
    else
      QTest::mouseClick(convertButton(), Qt::LeftButton);
    if (finished.count() == 0 && form->converting()) {
      ASSERT_TRUE(finished.wait(kRunTimeoutMs)) << "the run did not end";
    }
  }

  void start() {
    form = std::make_unique<MainWindow>(
        app.path().string(), host,
        realSpreadsheet ? spreadsheet::ApplicationFactory() : script->factory());
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  }

  // An (empty) workbook file under data/, in `folder` when given.
  std::string workbook(const std::string& name, const std::string& folder = "") {
    std::filesystem::path dir = data.path() / folder;
    std::filesystem::create_directories(dir);
    writeFile((dir / name).string(), "");
    return (dir / name).string();
  }
  std::string folder(const std::string& name) {
    std::filesystem::create_directories(data.path() / name);
    return (data.path() / name).string();
  }

  static std::vector<std::string> texts(ListView* view) {
    ListViewEntries entries(*view);
    std::vector<std::string> result;
    for (int i = 1; i <= entries.count(); ++i) result.push_back(entries.text(i));
    return result;
  }
  static std::vector<bool> ticks(ListView* view) {
    ListViewEntries entries(*view);
    std::vector<bool> result;
    for (int i = 1; i <= entries.count(); ++i) result.push_back(entries.ticked(i));
    return result;
  }
  static std::vector<int> images(ListView* view) {
    ListViewEntries entries(*view);
    std::vector<int> result;
    for (int i = 1; i <= entries.count(); ++i) result.push_back(entries.image(i));
    return result;
  }
  static int selected(ListView* view) { return ListViewEntries(*view).selected(); }

  static QPoint entryCenter(ListView* view, int index) {
    return view->visualItemRect(view->topLevelItem(index - 1)).center();
  }
  // A click on an entry's text, as a user selects it.
  static void click(ListView* view, int index) {
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, entryCenter(view, index));
  }
  // A click on an entry's check box.
  static void clickTick(ListView* view, int index) {
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->checkBoxRect(index).center());
  }
  // F2 on the entry, type the new label, Enter.
  static void editLabel(ListView* view, int index, const QString& text) {
    view->setFocus();
    view->setCurrentItem(view->topLevelItem(index - 1));
    QTest::keyClick(view, Qt::Key_F2);
    auto* editor = view->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    if (text.isEmpty())
      QTest::keyClick(editor, Qt::Key_Delete);
    else
      QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
  }

  // Types `path` into the output box, replacing its text.
  void typeOutput(const std::string& path) {
    outputDirectoryBox()->lineEdit()->selectAll();
    QTest::keyClick(outputDirectoryBox()->lineEdit(), Qt::Key_Delete);
    QTest::keyClicks(outputDirectoryBox()->lineEdit(), QString::fromStdString(path));
  }

  static std::vector<std::string> comboEntries(QComboBox* box) {
    std::vector<std::string> result;
    for (int i = 0; i < box->count(); ++i) result.push_back(box->itemText(i).toStdString());
    return result;
  }
};

}  // namespace quorvel::test
