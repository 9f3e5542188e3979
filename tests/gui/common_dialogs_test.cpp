#include "dialogs/common_dialogs.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QWidget>

#include "tests/gui/scripted_host.h"
#include "tests/support/test_support.h"

namespace quorvel {
namespace {

using test::ScriptedHost;
using namespace std::string_literals;

TEST(CommonDialogRules, GettersCutSystemBuffersAtTheFirstNul) {
  ScriptedHost host;
  CCommonDialogs dialog(host);
  dialog.setTitle("Pick\0   filler"s);
  dialog.setPath("/data\0xx"s);
  dialog.setFileTitle("book.xlsx\0"s);
  dialog.setFileName("/data/book.xlsx\0\0\0"s);
  dialog.setFontName("Arial\0x"s);
  dialog.setDefExt("xls\0x"s);
  dialog.setFilter("A|*.a\0"s);
  EXPECT_EQ(dialog.Title(), "Pick");
  EXPECT_EQ(dialog.Path(), "/data");
  EXPECT_EQ(dialog.FileTitle(), "book.xlsx");
  EXPECT_EQ(dialog.FileName(), "/data/book.xlsx");
  // These three come back as stored.
  EXPECT_EQ(dialog.FontName(), "Arial\0x"s);
  EXPECT_EQ(dialog.DefExt(), "xls\0x"s);
  EXPECT_EQ(dialog.Filter(), "A|*.a\0"s);
  EXPECT_EQ(CutAtNul("no nul"), "no nul");
}

TEST(CommonDialogRules, FontSizesConvertLikeTheSystemDoes) {
  EXPECT_EQ(FontHeightForSize(12, 96), -16);
  EXPECT_EQ(FontHeightForSize(10, 96), -13);  // 13.33 rounds down
  EXPECT_EQ(FontHeightForSize(9, 96), -12);
  EXPECT_EQ(FontHeightForSize(8, 120), -13);  // 13.33
  EXPECT_EQ(MulDiv(3, 1, 2), 2);              // halves round away from zero
  EXPECT_EQ(MulDiv(-3, 1, 2), -2);
  EXPECT_EQ(MulDiv(1, 1, 0), -1);
  EXPECT_EQ(FontSizeFromTenths(105), 10);
  EXPECT_EQ(FontSizeFromTenths(99), 9);
  EXPECT_EQ(LogFontFaceName(std::string(40, 'x')).size(), 31u);
  EXPECT_EQ(LogFontFaceName("Liberation Sans"), "Liberation Sans");
  // Characters, not bytes: 31 two-byte letters stay whole.
  std::string umlauts;
  for (int i = 0; i < 35; ++i) umlauts += "\xC3\xA4";
  EXPECT_EQ(LogFontFaceName(umlauts).size(), 62u);
}

TEST(CommonDialogRules, SaveFilterPiecesBecomeFileTypes) {
  const auto two = SaveFileTypes("Text|*.txt|All|*.*");
  ASSERT_EQ(two.size(), 2u);
  EXPECT_EQ(two[0].description, "Text");
  EXPECT_EQ(two[0].pattern, "*.txt");
  EXPECT_EQ(two[1].description, "All");
  EXPECT_EQ(two[1].pattern, "*.*");

  for (const char* blank : {"", "   "}) {
    const auto star = SaveFileTypes(blank);
    ASSERT_EQ(star.size(), 1u);
    EXPECT_EQ(star[0].description, "*.*");
    EXPECT_EQ(star[0].pattern, "*.*");
  }
  // A trailing bar's empty piece ends the list; pieces are not trimmed.
  const auto closed = SaveFileTypes(" Text |*.txt||ignored|*.x");
  ASSERT_EQ(closed.size(), 1u);
  EXPECT_EQ(closed[0].description, " Text ");
}

TEST(CommonDialogRules, SaveStartsInAnExistingFolderOrTheProgramFolder) {
  test::TempDir dir;
  const std::string folder = dir.path().string();
  EXPECT_EQ(SettleSavePath(folder, "/prog"), folder + "/");
  EXPECT_EQ(SettleSavePath(folder + "/", "/prog"), folder + "/");
  EXPECT_EQ(SettleSavePath(folder + "/missing", "/prog"), "/prog");
  EXPECT_EQ(SettleSavePath("  ", "/prog"), "/prog");
  EXPECT_EQ(SettleSavePath("", "/prog"), "/prog");
  test::writeFile(dir.file("plain"), "x");
  EXPECT_EQ(SettleSavePath(dir.file("plain"), "/prog"), "/prog");
}

class CommonDialogsTest : public ::testing::Test {
 protected:
  ScriptedHost host;
  QWidget owner;
  CCommonDialogs dialog{host};
};

TEST_F(CommonDialogsTest, ShowOpenFillsNameFolderAndTitleOnConfirm) {
  dialog.Init(&owner);
  dialog.setTitle("Select Excel File");
  dialog.setFilter("Ignored|*.zzz");
  dialog.setDefExt("xls");
  host.fileAnswers.push_back("/data/book.xlsx");
  ASSERT_TRUE(dialog.ShowOpen());
  EXPECT_EQ(dialog.FileName(), "/data/book.xlsx");
  EXPECT_EQ(dialog.Path(), "/data");
  EXPECT_EQ(dialog.FileTitle(), "book.xlsx");
  EXPECT_EQ(host.dialogs, std::vector<std::string>{"open:Select Excel File"});
  EXPECT_EQ(host.lastOwner, &owner);
  // The one fixed type, whatever Filter holds; a blank name to start with.
  ASSERT_EQ(host.lastFileRequest.types.size(), 1u);
  EXPECT_EQ(host.lastFileRequest.types[0].description, "Excel files(*.xls;*.xlsx;*.xlsm;*.xlsb)");
  // Only the four kinds of workbook: no templates, add-ins or workspaces.
  EXPECT_EQ(host.lastFileRequest.types[0].pattern, "*.xls;*.xlsx;*.xlsm;*.xlsb");
  EXPECT_FALSE(host.lastFileRequest.multiple);
  EXPECT_EQ(host.lastFileRequest.initialDir, "");
  EXPECT_EQ(host.lastFileRequest.initialFile, "");
  EXPECT_EQ(host.lastFileRequest.defaultExtension, "xls");

  // A second Show on the same object offers the last file.
  EXPECT_FALSE(dialog.ShowOpen());
  EXPECT_EQ(host.lastFileRequest.initialFile, "/data/book.xlsx");
  EXPECT_EQ(dialog.FileName(), "/data/book.xlsx");
  EXPECT_EQ(dialog.Path(), "/data");
  EXPECT_EQ(dialog.FileTitle(), "book.xlsx");
}

TEST_F(CommonDialogsTest, ShowOpenTakesSeveralFilesAndStartsInInitDir) {
  dialog.Init(&owner);
  dialog.setMultiSelect(true);
  dialog.setInitDir("/data");
  host.filesAnswers.push_back({"/data/a.xls", "/data/sub/b.xlsx"});
  ASSERT_TRUE(dialog.ShowOpen());
  EXPECT_TRUE(host.lastFileRequest.multiple);
  EXPECT_EQ(host.lastFileRequest.initialDir, "/data");
  EXPECT_EQ(dialog.FileNames(), (std::vector<std::string>{"/data/a.xls", "/data/sub/b.xlsx"}));
  EXPECT_EQ(dialog.FileName(), "/data/a.xls");
  EXPECT_EQ(dialog.FileTitle(), "a.xls");
  EXPECT_EQ(dialog.Path(), "/data");
  // Cancelled: the last choice stays.
  EXPECT_FALSE(dialog.ShowOpen());
  EXPECT_EQ(dialog.FileNames().size(), 2u);

  dialog.setInitDir("/out");
  host.folderAnswers.push_back("/out/x");
  ASSERT_TRUE(dialog.ShowFolder());
  EXPECT_EQ(host.lastFolderStart, "/out");
}

TEST_F(CommonDialogsTest, ShowOpenRefusesBeforeInitAndATooLongName) {
  EXPECT_THROW(dialog.ShowOpen(), std::logic_error);
  dialog.Init(&owner);
  dialog.setFileName(std::string(261, 'a'));
  EXPECT_THROW(dialog.ShowOpen(), std::invalid_argument);
  EXPECT_TRUE(host.dialogs.empty());
  dialog.setFileName(std::string(260, 'a'));
  EXPECT_FALSE(dialog.ShowOpen());
  EXPECT_EQ(host.dialogs.size(), 1u);
}

TEST_F(CommonDialogsTest, ShowFolderSetsPathAndEmptiesTheFileFields) {
  dialog.Init(&owner);
  dialog.setTitle("Output Folder");
  dialog.setFileName("/x/y.xls");
  dialog.setFileTitle("y.xls");
  EXPECT_FALSE(dialog.ShowFolder());
  EXPECT_EQ(dialog.FileName(), "/x/y.xls");
  host.folderAnswers.push_back("/out");
  ASSERT_TRUE(dialog.ShowFolder());
  EXPECT_EQ(dialog.Path(), "/out");
  EXPECT_EQ(dialog.FileName(), "");
  EXPECT_EQ(dialog.FileTitle(), "");
  EXPECT_EQ(host.dialogs.back(), "folder:Output Folder");
}

TEST_F(CommonDialogsTest, ShowSaveCorrectsThePathEvenWhenCancelled) {
  test::TempDir dir;
  dialog.Init(&owner);
  dialog.setPath(dir.path().string());
  dialog.setFilter("Text|*.txt|All|*.*");
  dialog.setTitle("not used");
  EXPECT_FALSE(dialog.ShowSave());
  EXPECT_EQ(dialog.Path(), dir.path().string() + "/");
  EXPECT_EQ(host.lastFileRequest.initialDir, dir.path().string() + "/");
  EXPECT_EQ(host.lastFileRequest.title, "Save");
  EXPECT_EQ(host.lastFileRequest.types.size(), 2u);
  EXPECT_EQ(host.lastFileRequest.selectedType, 0);

  dialog.setPath(dir.file("gone"));
  host.fileAnswers.push_back(dir.path().string() + "/" + std::string(300, 'n'));
  ASSERT_TRUE(dialog.ShowSave());
  EXPECT_EQ(host.lastFileRequest.initialDir, QCoreApplication::applicationDirPath().toStdString());
  EXPECT_EQ(dialog.FileName().size(), kMaxSaveFileName);
  EXPECT_EQ(dialog.Path(), dir.path().string());
}

TEST_F(CommonDialogsTest, ShowColorPassesFlagsAndKeepsTheColourOnCancel) {
  dialog.Init(&owner);
  dialog.setColor(0x00336699);
  EXPECT_FALSE(dialog.ShowColor(false));
  EXPECT_EQ(host.lastColorFlags, 1u);
  EXPECT_EQ(host.lastColor, 0x00336699u);
  EXPECT_EQ(dialog.Color(), 0x00336699u);
  host.colorAnswer = 0x000000FF;  // red in 0x00BBGGRR
  ASSERT_TRUE(dialog.ShowColor(true));
  EXPECT_EQ(host.lastColorFlags, 3u);
  EXPECT_EQ(dialog.Color(), 0x000000FFu);
}

TEST_F(CommonDialogsTest, ShowFontStartsFromTheLogicalFontAndReadsTheChoice) {
  // Works without Init: the font dialog goes on with no owner.
  dialog.setFontName("Arial");
  dialog.setFontSize(12);
  dialog.setFontBold(true);
  dialog.setFontUnderline(true);
  dialog.setColor(0x123456);
  EXPECT_FALSE(dialog.ShowFont());
  EXPECT_EQ(host.lastFontRequest.height, -16);
  EXPECT_EQ(host.lastFontRequest.weight, 700);
  EXPECT_TRUE(host.lastFontRequest.underline);
  EXPECT_FALSE(host.lastFontRequest.italic);
  EXPECT_EQ(host.lastFontRequest.faceName, "Arial");
  EXPECT_EQ(dialog.FontSize(), 12);

  host.fontAnswer = FontChoice{"Liberation Serif", 105, false, true};
  ASSERT_TRUE(dialog.ShowFont());
  EXPECT_EQ(dialog.FontName(), "Liberation Serif");
  EXPECT_EQ(dialog.FontSize(), 10);
  EXPECT_FALSE(dialog.FontBold());
  EXPECT_TRUE(dialog.FontItalic());
  EXPECT_TRUE(dialog.FontUnderline());  // not changed by the dialog
  EXPECT_EQ(dialog.Color(), 0x123456u);
}

TEST_F(CommonDialogsTest, PrinterDialogsAnswerTheHost) {
  EXPECT_THROW(dialog.ShowPrinter(), std::logic_error);
  host.printerPropertiesAnswer = true;
  EXPECT_TRUE(dialog.ShowPrinterProperties());  // no owner needed
  dialog.Init(&owner);
  EXPECT_FALSE(dialog.ShowPrinter());
  host.printAnswer = true;
  EXPECT_TRUE(dialog.ShowPrinter());
}

}  // namespace
}  // namespace quorvel
