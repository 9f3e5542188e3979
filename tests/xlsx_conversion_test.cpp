// Workbooks written by another library (libxlsxwriter), converted through
// the component's nine steps: what a user's file goes through.
#include <gtest/gtest.h>
#include <xlsxwriter.h>

#include "engine/spreadsheet/automation.h"
#include "tests/support/test_support.h"

namespace quorvel::spreadsheet {
namespace {

TEST(XlsxConversion, WorksheetsOfALibraryWrittenWorkbookBecomeText) {
  test::TempDir dir;
  std::string path = dir.file("library.xlsx");
  {
    lxw_workbook* wb = workbook_new(path.c_str());
    lxw_worksheet* data = workbook_add_worksheet(wb, "Data");
    worksheet_write_string(data, 1, 1, "name", nullptr);
    worksheet_write_string(data, 1, 2, "a, \"quoted\"\nvalue", nullptr);
    worksheet_write_number(data, 2, 1, 1234.5, nullptr);
    worksheet_write_number(data, 2, 2, 1.0 / 3, nullptr);
    worksheet_write_boolean(data, 3, 1, 1, nullptr);
    worksheet_write_formula_num(data, 3, 2, "=B3*2", nullptr, 2469);
    worksheet_write_formula_str(data, 3, 3, "=\"x\"&\"y\"", nullptr, "xy");
    worksheet_write_blank(data, 5, 4, workbook_add_format(wb));  // formatting only
    lxw_chartsheet* chart = workbook_add_chartsheet(wb, "Chart");
    lxw_chart* c = workbook_add_chart(wb, LXW_CHART_LINE);
    chart_add_series(c, nullptr, "=Data!$B$3:$C$3");
    chartsheet_set_chart(chart, c);
    lxw_worksheet* hidden = workbook_add_worksheet(wb, "Hidden");
    worksheet_write_string(hidden, 0, 0, "secret", nullptr);
    worksheet_hide(hidden);
    workbook_add_worksheet(wb, "Empty");
    ASSERT_EQ(workbook_close(wb), LXW_NO_ERROR);
  }

  auto app = createApplication();
  Workbook& book = app->open(path);
  app->setDisplayAlerts(false);
  ASSERT_EQ(book.worksheetCount(), 3);
  EXPECT_EQ(book.worksheetName(1), "Data");
  EXPECT_EQ(book.worksheetName(2), "Hidden");
  EXPECT_EQ(book.worksheetName(3), "Empty");
  std::vector<std::string> texts;
  for (int i = 1; i <= 3; ++i) {
    book.selectSheet(i);
    std::string out = dir.file(std::to_string(i) + ".txt");
    book.saveAs(out, xlCurrentPlatformText);
    texts.push_back(test::readFile(out));
  }
  book.close();
  app->quit();
  EXPECT_EQ(texts[0],
            "name\t\"a, \"\"quoted\"\"\nvalue\"\t\t\r\n"
            "1234.5\t0.333333333333333\t\t\r\n"
            "TRUE\t2469\txy\t\r\n"
            "\t\t\t\r\n"
            "\t\t\t\r\n");
  EXPECT_EQ(texts[1], "secret\r\n");
  EXPECT_EQ(texts[2], "");
}

}  // namespace
}  // namespace quorvel::spreadsheet
