// Files and folders dropped from a file manager: on the window they join
// the job list as Add Excel and Add Folder add them; on the output box a
// folder becomes the output directory.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "tests/gui/window_fixture.h"

namespace quorvel::test {
namespace {

using Strings = std::vector<std::string>;

std::unique_ptr<QMimeData> Urls(const std::vector<std::string>& paths) {
  auto data = std::make_unique<QMimeData>();
  QList<QUrl> urls;
  for (const std::string& path : paths)
    urls << (path.find("://") != std::string::npos
                 ? QUrl(QString::fromStdString(path))
                 : QUrl::fromLocalFile(QString::fromStdString(path)));
  data->setUrls(urls);
  return data;
}

// Drags `data` over `target` at its centre and drops it there, as a file
// manager does; true when the target took the drop.
bool Drop(QWidget* target, const QMimeData& data) {
  const QPoint at = target->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &drop);
  return drop.isAccepted();
}

class DropTest : public WindowTest {
 protected:
  void SetUp() override {
    script->sheetsByFile = {{"A.xls", {"Jan"}}, {"B.xlsx", {"Bee"}}};
    start();
  }
};

TEST_F(DropTest, WorkbooksAndFoldersJoinTheJobListAndTheLastIsListed) {
  const std::string a = workbook("A.xls");
  const std::string folder = this->folder("Books");
  workbook("B.xlsx", "Books");
  const std::string notes = workbook("notes.txt");
  const std::string pdf = workbook("plan.PDF");

  ASSERT_TRUE(Drop(form.get(), *Urls({a, notes, folder + "/", pdf})));
  EXPECT_EQ(texts(jobList()), (Strings{a, folder}));
  EXPECT_EQ(images(jobList()), (std::vector<int>{kImageFile, kImageFolder}));
  EXPECT_EQ(selected(jobList()), 2);
  EXPECT_EQ(texts(workbookList()), Strings{"B.xlsx"});
  EXPECT_EQ(texts(worksheetList()), Strings{"Bee"});
  // One message for everything left out, naming each.
  EXPECT_EQ(host.messages,
            (std::vector<Message>{{"Only workbooks (.xls, .xlsx, .xlsm, .xlsb) and folders can "
                                   "be added. Not added: notes.txt, plan.PDF",
                                   MessageStyle::Information}}));

  // Dropped on a list, it reaches the window all the same; a workbook's
  // extension counts in any letter case.
  const std::string upper = workbook("C.XLSM");
  host.messages.clear();
  ASSERT_TRUE(Drop(worksheetList()->viewport(), *Urls({upper})));
  EXPECT_EQ(texts(jobList()).back(), upper);
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(DropTest, AddressesThatAreNotLocalFilesAreRefused) {
  EXPECT_FALSE(Drop(form.get(), *Urls({"https://example.org/book.xlsx"})));
  QMimeData text;
  text.setText("/some/path");
  EXPECT_FALSE(Drop(form.get(), text));
  EXPECT_TRUE(texts(jobList()).empty());
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(DropTest, TheOutputBoxTakesAFolderAsItsTextNeverItsAddress) {
  const std::string out = folder("out");
  form->outputBox().insert(0, "/history");
  form->outputBox().select(0);
  QWidget* edit = outputDirectoryBox()->lineEdit();
  ASSERT_TRUE(Drop(edit, *Urls({out + "/"})));
  EXPECT_EQ(outputDirectoryBox()->currentText().toStdString(), out);
  EXPECT_EQ(form->outputBox().selectedIndex(), -1);  // as if typed: created and remembered on a run
  EXPECT_TRUE(texts(jobList()).empty());             // not a job

  // A file, an address or several folders: refused, the text stays, and
  // nothing passes on to the job list.
  const std::string file = workbook("A.xls");
  for (const auto& refused : std::vector<Strings>{{file}, {"https://example.org/"}, {out, out}})
    EXPECT_FALSE(Drop(edit, *Urls(refused))) << refused[0];
  EXPECT_EQ(outputDirectoryBox()->currentText().toStdString(), out);
  EXPECT_TRUE(texts(jobList()).empty());
}

TEST_F(DropTest, NothingIsTakenWhileARunLasts) {
  const std::string a = workbook("A.xls", "In");
  form->addPaths({(data.path() / "In").string()});
  ASSERT_EQ(texts(workbookList()), Strings{"A.xls"});
  typeOutput(data.file("out"));
  // The run waits in the scripted component until the drops were tried.
  script->holdAt(FakeScript::Step::Open);
  QTest::mouseClick(convertButton(), Qt::LeftButton);
  ASSERT_TRUE(script->waitUntilHeld());
  EXPECT_FALSE(Drop(form.get(), *Urls({a})));
  EXPECT_FALSE(Drop(outputDirectoryBox()->lineEdit(), *Urls({data.path().string()})));
  convertAndWait([&] { script->release(); });
  EXPECT_EQ(texts(jobList()).size(), 1u);
  EXPECT_EQ(outputDirectoryBox()->currentText().toStdString(), data.file("out"));
}

}  // namespace
}  // namespace quorvel::test
