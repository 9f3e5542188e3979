// Writes the small example workbooks kept in examples/, so that
// `scripts/quorvel convert examples/ -o out` has something to convert:
//   sales.xlsx         two months of sales: dates, currency, percentages
//   text_quoting.xlsx  text that the output must quote (commas, quotes,
//                      line breaks, tabs) and text that it must not
//   sheet_kinds.xlsx   a visible and a hidden worksheet and a chart sheet
//                      (which is no worksheet and gives no file)
// Content is fixed, so running it again writes the same cells.
//   generate_examples FOLDER
#include <xlsxwriter.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

// A fixed creation time, so that the files do not change from run to run.
lxw_workbook* newWorkbook(const std::string& path) {
  lxw_workbook* wb = workbook_new(path.c_str());
  static lxw_doc_properties properties = {};
  properties.created = 1704067200;  // 2024-01-01
  workbook_set_properties(wb, &properties);
  return wb;
}

const char* kRegions[] = {"North", "South", "East", "West"};
const char* kProducts[] = {"Widget", "Gadget", "Sprocket", "Gizmo", "Doohickey"};
const double kPrices[] = {4.25, 12.5, 0.85, 19.99, 7.4};

void salesSheet(lxw_workbook* wb, const char* name, int month, int days, lxw_format* header,
                lxw_format* date, lxw_format* money, lxw_format* percent) {
  lxw_worksheet* ws = workbook_add_worksheet(wb, name);
  const char* titles[] = {"Date", "Region", "Product", "Units", "Unit price", "Revenue", "Margin"};
  for (int c = 0; c < 7; ++c) worksheet_write_string(ws, 0, lxw_col_t(c), titles[c], header);
  int row = 1;
  for (int day = 1; day <= days; day += 2, ++row) {
    int i = day * 7 + month;
    lxw_datetime when = {2024, month, day, 0, 0, 0};
    worksheet_write_datetime(ws, lxw_row_t(row), 0, &when, date);
    worksheet_write_string(ws, lxw_row_t(row), 1, kRegions[i % 4], nullptr);
    worksheet_write_string(ws, lxw_row_t(row), 2, kProducts[i % 5], nullptr);
    int units = 5 + (i * 37) % 120;
    double price = kPrices[i % 5];
    worksheet_write_number(ws, lxw_row_t(row), 3, units, nullptr);
    worksheet_write_number(ws, lxw_row_t(row), 4, price, money);
    std::string formula = "=D";
    formula.append(std::to_string(row + 1)).append("*E").append(std::to_string(row + 1));
    worksheet_write_formula_num(ws, lxw_row_t(row), 5, formula.c_str(), money, units * price);
    worksheet_write_number(ws, lxw_row_t(row), 6, 0.05 + double((i * 13) % 30) / 100, percent);
  }
  std::string last = std::to_string(row);
  worksheet_write_string(ws, lxw_row_t(row), 0, "Total", header);
  double units = 0, revenue = 0;
  for (int day = 1; day <= days; day += 2) {
    int i = day * 7 + month;
    units += 5 + (i * 37) % 120;
    revenue += (5 + (i * 37) % 120) * kPrices[i % 5];
  }
  std::string sumUnits = "=SUM(D2:D", sumRevenue = "=SUM(F2:F";
  sumUnits.append(last).append(")");
  sumRevenue.append(last).append(")");
  worksheet_write_formula_num(ws, lxw_row_t(row), 3, sumUnits.c_str(), header, units);
  worksheet_write_formula_num(ws, lxw_row_t(row), 5, sumRevenue.c_str(), money, revenue);
}

void sales(const std::string& path) {
  lxw_workbook* wb = newWorkbook(path);
  lxw_format* header = workbook_add_format(wb);
  format_set_bold(header);
  lxw_format* date = workbook_add_format(wb);
  format_set_num_format(date, "yyyy-mm-dd");
  lxw_format* money = workbook_add_format(wb);
  format_set_num_format(money, "$#,##0.00");
  lxw_format* percent = workbook_add_format(wb);
  format_set_num_format(percent, "0.0%");
  salesSheet(wb, "January", 1, 31, header, date, money, percent);
  salesSheet(wb, "February", 2, 29, header, date, money, percent);
  workbook_close(wb);
}

void textQuoting(const std::string& path) {
  lxw_workbook* wb = newWorkbook(path);
  lxw_worksheet* ws = workbook_add_worksheet(wb, "Notes");
  const char* rows[][2] = {
      {"plain text", "written as it is"},
      {"Smith, John", "a comma: quoted"},
      {"She said \"hello\"", "quotes: quoted, inner quotes doubled"},
      {"first line\nsecond line", "a line break: quoted, kept inside the quotes"},
      {"column\tinside", "a tab: quoted"},
      {"it's fine", "an apostrophe: not quoted"},
      {"  leading spaces", "spaces: not quoted"},
      {"caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac", "other scripts: UTF-8, not quoted"},
  };
  worksheet_write_string(ws, 0, 0, "Text", nullptr);
  worksheet_write_string(ws, 0, 1, "What the output does", nullptr);
  for (int r = 0; r < 8; ++r) {
    worksheet_write_string(ws, lxw_row_t(r + 1), 0, rows[r][0], nullptr);
    worksheet_write_string(ws, lxw_row_t(r + 1), 1, rows[r][1], nullptr);
  }
  worksheet_write_boolean(ws, 10, 0, 1, nullptr);
  worksheet_write_string(ws, 10, 1, "a boolean", nullptr);
  worksheet_write_number(ws, 11, 0, 1234567.125, nullptr);
  worksheet_write_string(ws, 11, 1, "a number in General: no thousands separator", nullptr);
  workbook_close(wb);
}

void sheetKinds(const std::string& path) {
  lxw_workbook* wb = newWorkbook(path);
  lxw_worksheet* data = workbook_add_worksheet(wb, "Data");
  worksheet_write_string(data, 0, 0, "Quarter", nullptr);
  worksheet_write_string(data, 0, 1, "Orders", nullptr);
  for (int q = 0; q < 4; ++q) {
    const char* quarters[] = {"Q1", "Q2", "Q3", "Q4"};
    worksheet_write_string(data, lxw_row_t(q + 1), 0, quarters[q], nullptr);
    worksheet_write_number(data, lxw_row_t(q + 1), 1, 120 + q * 35 - (q % 2) * 50, nullptr);
  }
  lxw_chartsheet* chartSheet = workbook_add_chartsheet(wb, "Orders chart");
  lxw_chart* chart = workbook_add_chart(wb, LXW_CHART_COLUMN);
  chart_add_series(chart, "=Data!$A$2:$A$5", "=Data!$B$2:$B$5");
  chartsheet_set_chart(chartSheet, chart);
  lxw_worksheet* hidden = workbook_add_worksheet(wb, "Lookup");
  worksheet_write_string(hidden, 0, 0, "a hidden worksheet is converted too", nullptr);
  worksheet_hide(hidden);
  workbook_close(wb);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  std::filesystem::path dir(argv[1]);
  std::filesystem::create_directories(dir);
  sales((dir / "sales.xlsx").string());
  textQuoting((dir / "text_quoting.xlsx").string());
  sheetKinds((dir / "sheet_kinds.xlsx").string());
  return 0;
}
