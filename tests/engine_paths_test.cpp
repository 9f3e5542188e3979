// Path classification and the folder scan that fills the workbook list.
#include <gtest/gtest.h>

#include "tests/support/engine_setup.h"

namespace quorvel {
namespace {

using test::EngineSetup;
using test::writeFile;

TEST(GetPathKind, ClassifiesFoldersFilesAndEverythingElse) {
  test::TempDir dir;
  writeFile(dir.file("Book1.xls"), "x");
  writeFile(dir.file("star*.xls"), "x");
  std::filesystem::create_directory(dir.path() / "sub");
  std::filesystem::create_symlink(dir.file("gone"), dir.file("dangling"));

  EXPECT_EQ(GetPathKind(dir.path().string()), PathKind::Directory);
  EXPECT_EQ(GetPathKind(dir.path().string() + "/"), PathKind::Directory);
  EXPECT_EQ(GetPathKind(dir.file("sub") + "//"), PathKind::Directory);
  EXPECT_EQ(GetPathKind(dir.file("Book1.xls")), PathKind::File);
  EXPECT_EQ(GetPathKind(dir.file("Book1.xls") + "/"), PathKind::Nothing);
  EXPECT_EQ(GetPathKind(dir.file("missing.xls")), PathKind::Nothing);
  EXPECT_EQ(GetPathKind(dir.file("dangling")), PathKind::Nothing);
  EXPECT_EQ(GetPathKind(""), PathKind::Nothing);
  // Wildcards give nothing even where an entry of that very name exists.
  EXPECT_EQ(GetPathKind(dir.file("star*.xls")), PathKind::Nothing);
  EXPECT_EQ(GetPathKind(dir.file("Book?.xls")), PathKind::Nothing);
  EXPECT_EQ(GetPathKind("/dev/null"), PathKind::Nothing);
}

TEST(FolderScan, TakesTheFourWorkbookExtensionsSortedIgnoringCase) {
  EngineSetup s;
  s.jobFolder({"b.xls", "A.XLSX", "c.xlsm", "D.xlsb", "notes.txt", "e.xls.bak", "xls", "f.XLS"});
  std::filesystem::create_directory(s.dir.path() / "in" / "folder.xls");
  EXPECT_EQ(s.window.workbooks.texts(),
            (std::vector<std::string>{"A.XLSX", "b.xls", "c.xlsm", "D.xlsb", "f.XLS"}));
  EXPECT_EQ(s.window.workbooks.ticks(), std::vector<bool>(5, true));
  EXPECT_TRUE(s.window.workbooks.shown);
  EXPECT_GE(s.window.workbooks.refreshes, 1);
}

TEST(FolderScan, StopsAfterFiveHundredWorkbooks) {
  EngineSetup s;
  std::vector<std::string> files;
  for (int i = 0; i < 600; ++i)
    files.push_back(std::string("w").append(std::to_string(1000 + i)).append(".xlsx"));
  s.jobFolder(files);
  ASSERT_EQ(s.window.workbooks.count(), 500);
  EXPECT_EQ(s.window.workbooks.text(1), "w1000.xlsx");
  EXPECT_EQ(s.window.workbooks.text(500), "w1499.xlsx");
  EXPECT_EQ(s.window.workbooks.ticks(), std::vector<bool>(500, true));
}

TEST(FolderScan, IgnoresSubFoldersFullOfWorkbooks) {
  EngineSetup s;
  std::filesystem::create_directories(s.dir.path() / "in" / "sub");
  writeFile((s.dir.path() / "in" / "sub" / "Book1.xls").string(), "");
  s.jobFolder({});
  EXPECT_EQ(s.window.workbooks.count(), 0);
}

TEST(FolderScan, AFileJobGivesOneEntryWhateverItsExtension) {
  EngineSetup s;
  std::string file = s.dir.file("report.dat");
  writeFile(file, "");
  s.window.jobs.select(s.window.jobs.add(file, kImageFile));
  s.procedures.AddFolderWorkbooks(file);
  ASSERT_EQ(s.window.workbooks.texts(), std::vector<std::string>{"report.dat"});
  EXPECT_TRUE(s.window.workbooks.ticked(1));
  s.window.workbooks.select(1);
  EXPECT_EQ(s.procedures.SelectedWorkbookPath(), file);
  EXPECT_EQ(s.procedures.WorkbookPathAt(1), file);
}

TEST(FolderScan, AMissingJobEmptiesTheListAndErasesTheTable) {
  EngineSetup s;
  s.jobFolder({"Book1.xls"});
  s.procedures.state().sheetNames.set(1, 1, SheetNameTable::Label, "Jan");
  s.procedures.AddFolderWorkbooks(s.dir.file("no-such-folder"));
  EXPECT_EQ(s.window.workbooks.count(), 0);
  EXPECT_FALSE(s.procedures.state().sheetNames.isStored(1));
}

TEST(WorkbookPath, JoinsTheJobFolderAndAnswersEmptyForWhatIsGone) {
  EngineSetup s;
  std::string in = s.jobFolder({"a.xls", "b.xlsx"});
  EXPECT_EQ(s.procedures.WorkbookPathAt(2), in + "/b.xlsx");
  EXPECT_EQ(s.procedures.SelectedWorkbookPath(), in + "/a.xls");
  std::filesystem::remove(in + "/b.xlsx");
  EXPECT_EQ(s.window.workbooks.count(), 2);  // the entry stays
  EXPECT_EQ(s.procedures.WorkbookPathAt(2), "");
  EXPECT_EQ(s.procedures.WorkbookPathAt(3), "");
  // A job folder named with a trailing separator joins without doubling it.
  s.window.jobs.setText(1, in + "/");
  EXPECT_EQ(s.procedures.WorkbookPathAt(1), in + "/a.xls");
  s.window.jobs.clear();
  EXPECT_EQ(s.procedures.WorkbookPathAt(1), "");
}

}  // namespace
}  // namespace quorvel
