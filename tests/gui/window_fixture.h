#pragma once
// A main window over a temporary application folder, the scripted host and
// the scripted spreadsheet component, with helpers that act like a user.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest/QTest>
#include <memory>

#include "main_window/form1.h"
#include "main_window/list_view.h"
#include "main_window/output_combo.h"
#include "settings/setting_dialog.h"
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
  std::unique_ptr<Form1> form;
  bool realSpreadsheet = false;  // the program's own component instead of the script

  std::string appFile(const std::string& name) const { return app.file(name); }

  void start() {
    form = std::make_unique<Form1>(
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

  static std::vector<std::string> comboEntries(QComboBox* box) {
    std::vector<std::string> result;
    for (int i = 0; i < box->count(); ++i) result.push_back(box->itemText(i).toStdString());
    return result;
  }
};

}  // namespace quorvel::test
