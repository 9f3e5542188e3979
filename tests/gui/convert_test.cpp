// The Convert command from the window: ticked workbooks into fresh
// sub-folders of the output directory, worksheets under their labels.
#include <xlsxwriter.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>

#include "tests/gui/window_fixture.h"

namespace quorvel::test {
namespace {

using Strings = std::vector<std::string>;

class ConvertTest : public WindowTest {
 protected:
  std::string books;

  void writeBook(const std::string& name,
                 const std::vector<std::pair<std::string, std::vector<Strings>>>& sheets) {
    std::filesystem::create_directories(data.path() / "Books");
    const std::string path = (data.path() / "Books" / name).string();
    lxw_workbook* wb = workbook_new(path.c_str());
    for (const auto& [sheetName, rows] : sheets) {
      lxw_worksheet* ws = workbook_add_worksheet(wb, sheetName.c_str());
      for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
          const std::string& v = rows[r][c];
          if (!v.empty() && v.find_first_not_of("0123456789.") == std::string::npos)
            worksheet_write_number(ws, r, c, std::stod(v), nullptr);
          else
            worksheet_write_string(ws, r, c, v.c_str(), nullptr);
        }
    }
    ASSERT_EQ(workbook_close(wb), LXW_NO_ERROR);
  }

  std::string out(const std::string& relative) const { return data.file("out/" + relative); }
};

TEST_F(ConvertTest, GeneratedWorkbooksBecomeTextFilesUnderTheirLabels) {
  writeBook("Sales.2024.xlsx",
            {{"Jan", {{"Region", "Amount"}, {"North", "12.5"}}}, {"Feb", {{"x"}}}});
  writeBook("Plan.xlsx", {{"Plan", {{"Goal"}, {"3"}}}, {"Notes", {{"a b", "c"}}}});
  books = (data.path() / "Books").string();
  realSpreadsheet = true;
  test::writeFile(appFile("EXCEL.txt"), books + "\r\n");
  start();

  click(jobList(), 1);
  ASSERT_EQ(texts(workbookList()), (Strings{"Plan.xlsx", "Sales.2024.xlsx"}));
  EXPECT_EQ(texts(worksheetList()), (Strings{"Plan", "Notes"}));
  click(workbookList(), 2);
  ASSERT_EQ(texts(worksheetList()), (Strings{"Jan", "Feb"}));
  editLabel(worksheetList(), 1, "January");
  clickTick(worksheetList(), 2);
  typeOutput(data.file("out"));  // typed, not there yet: created

  std::vector<int> values;
  QObject::connect(progressBar(), &QProgressBar::valueChanged,
                   [&](int value) { values.push_back(value); });
  convertAndWait();

  EXPECT_TRUE(host.messages.empty()) << host.messages[0].text;
  EXPECT_EQ(test::readFile(out("Plan/Plan_Plan.txt")), "Goal\r\n3\r\n");
  EXPECT_EQ(test::readFile(out("Plan/Notes.txt")), "a b\tc\r\n");
  EXPECT_EQ(test::readFile(out("Sales2024/January.txt")), "Region\tAmount\r\nNorth\t12.5\r\n");
  EXPECT_FALSE(std::filesystem::exists(out("Sales2024/Feb.txt")));
  EXPECT_EQ(host.opens, (std::vector<Opened>{{data.file("out") + "/", kShowNormal}}));
  // The bar went up to the end of the run and back; the end is announced.
  ASSERT_FALSE(values.empty());
  EXPECT_EQ(*std::max_element(values.begin(), values.end()), 1000);
  EXPECT_EQ(values.back(), 0);
  EXPECT_EQ(statusLabel()->text(), "Converted 2 of 2 workbooks, 0 failed");
  EXPECT_EQ(host.pointer(), kPointerDefault);
  // The typed directory joined the history.
  EXPECT_EQ(comboEntries(outputDirectoryBox()), Strings{data.file("out")});

  // A second run finds the folders taken and makes new ones beside them.
  namingBox()->setCurrentIndex(2);
  convertAndWait([&] { convertAction()->trigger(); });
  EXPECT_EQ(test::readFile(out("Plan1/1.txt")), "Goal\r\n3\r\n");
  EXPECT_EQ(test::readFile(out("Sales20241/1.txt")), "Region\tAmount\r\nNorth\t12.5\r\n");
  EXPECT_FALSE(std::filesystem::exists(out("Sales20241/2.txt")));
}

TEST_F(ConvertTest, UntickedWorkbooksAreSkippedAndFailuresListedOnceAtTheEnd) {
  for (const char* name : {"Book1.xls", "Book1.xlsx", "Bad.xls", "Skip.xls"})
    workbook(name, "Books");
  books = (data.path() / "Books").string();
  std::filesystem::create_directories(data.path() / "out" / "Book1");
  test::writeFile(appFile("EXCEL.txt"), books + "\r\n");
  test::writeFile(appFile("output.txt"), data.file("out") + "\r\n");
  script->sheetsByFile = {{"Book1.xls", {"S"}}, {"Book1.xlsx", {"T"}}, {"Bad.xls", {"U"}}};
  start();
  click(jobList(), 1);
  ASSERT_EQ(texts(workbookList()), (Strings{"Bad.xls", "Book1.xls", "Book1.xlsx", "Skip.xls"}));
  clickTick(workbookList(), 4);
  script->failStep = FakeScript::Step::Open;
  script->failOnCall = 1;  // the next open: Bad.xls, the first ticked
  std::string listed, heading;
  host.onModal = [&](QDialog& dialog) {
    listed = named<QPlainTextEdit>(dialog, "failureText")->toPlainText().toStdString();
    heading = named<QLabel>(dialog, "failureSummary")->text().toStdString();
  };
  convertAndWait();

  // No message while the run lasted: one list at its end, which names the
  // workbook and gives its messages in their order.
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(host.dialogs, Strings{"modal:FailureList"});
  EXPECT_EQ(heading, "Converted 2 of 3 workbooks, 1 failed");
  EXPECT_NE(listed.find("Bad.xls\n    " + script->failText + "\n    Convert Bad file failed!\n"),
            std::string::npos)
      << listed;
  EXPECT_EQ(statusLabel()->text(), QString::fromStdString(heading));
  EXPECT_FALSE(std::filesystem::exists(out("Bad")));  // made, and removed as it stayed empty
  EXPECT_EQ(test::readFile(out("Book11/S.txt")), "Book1.xls:S\r\n");
  EXPECT_EQ(test::readFile(out("Book12/T.txt")), "Book1.xlsx:T\r\n");
  EXPECT_FALSE(std::filesystem::exists(out("Skip")));
  EXPECT_EQ(host.opens, (std::vector<Opened>{{data.file("out") + "/", kShowNormal}}));
}

TEST_F(ConvertTest, AnUnusableOutputDirectoryConvertsNothing) {
  workbook("A.xls", "Books");
  test::writeFile(appFile("EXCEL.txt"), (data.path() / "Books").string() + "\r\n");
  test::writeFile(appFile("output.txt"), data.file("deleted") + "\r\n");
  start();
  click(jobList(), 1);
  const auto calls = script->calls.size();
  convertAndWait([&] { convertAction()->trigger(); });  // a history entry that is gone
  typeOutput("");
  convertAndWait([&] { convertAction()->trigger(); });
  EXPECT_EQ(host.messages,
            (std::vector<Message>{{"Folder does not exist!", MessageStyle::Critical},
                                  {"Please select output folder", MessageStyle::Information}}));
  EXPECT_EQ(script->calls.size(), calls);
  EXPECT_FALSE(std::filesystem::exists(data.file("deleted")));
  EXPECT_TRUE(host.opens.empty());
  EXPECT_EQ(statusLabel()->text(), "");
  EXPECT_EQ(host.pointer(), kPointerDefault);
}

}  // namespace
}  // namespace quorvel::test
