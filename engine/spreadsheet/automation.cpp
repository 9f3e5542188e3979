#include "engine/spreadsheet/automation.h"

#include <filesystem>
#include <new>

#include "engine/spreadsheet/progress_cursor.h"

namespace quorvel::spreadsheet {

namespace {

std::string baseName(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

class ComponentWorkbook final : public Workbook {
 public:
  // `name`: how messages name the workbook.
  ComponentWorkbook(std::string name, std::unique_ptr<WorkbookReader> reader)
      : path_(std::move(name)), reader_(std::move(reader)) {}

  int worksheetCount() override { return static_cast<int>(reader().worksheets().size()); }

  std::string worksheetName(int index) override {
    checkIndex(index);
    return reader().worksheets()[static_cast<std::size_t>(index - 1)].name;
  }

  void selectSheet(int index) override {
    checkIndex(index);
    active_ = index;
  }

  SheetStats saveAs(const std::string& path, int fileFormat, std::stop_token stop,
                    const TextOptions& text) override {
    if (fileFormat != xlCurrentPlatformText)
      throw SpreadsheetError(ErrorCode::Unsupported,
                             "cannot save '" + baseName(path_) + "' in file format " +
                                 std::to_string(fileFormat) + ": only text (" +
                                 std::to_string(xlCurrentPlatformText) + ") is written");
    checkIndex(active_);
    try {
      std::size_t sheet = static_cast<std::size_t>(active_ - 1);
      auto withProgress = [&](std::unique_ptr<SheetCursor> cursor) -> std::unique_ptr<SheetCursor> {
        if (!progress_) return cursor;
        return std::make_unique<ProgressCursor>(std::move(cursor), progress_);
      };
      const CellFormatter& formatter = reader().formatter();
      if (text.parallel.threads > 1) {
        try {
          FieldWriter write = [&formatter, values = text.values](const Cell& cell,
                                                                 std::string& out) {
            appendCellField(cell, formatter, values, out);
          };
          return writeSheetText(
              [&]() -> std::unique_ptr<SheetCursor> {
                ParallelReading how = text.parallel;
                how.separator = text.separator;
                auto cursor = reader().openWorksheetInParallel(sheet, how, write, stop);
                return withProgress(cursor ? std::move(cursor) : reader().openWorksheet(sheet));
              },
              formatter, path, stop, text);
        } catch (const SheetTooLarge&) {
          throw;
        } catch (const FormatError&) {
          // Damage, or data the threads could not cut into pieces: one
          // thread reads the sheet again, and gives its text or the error
          // exactly as it would have.
        }
      }
      return writeSheetText([&] { return withProgress(reader().openWorksheet(sheet)); }, formatter,
                            path, std::move(stop), text);
    } catch (const SheetTooLarge& e) {
      throw SpreadsheetError(
          e.code(), describeError(e.code(), baseName(path_),
                                  "its worksheet '" + worksheetName(active_) + "' " + e.what()));
    } catch (const FormatError& e) {
      throw errorForFile(e, path_);
    } catch (const std::bad_alloc&) {
      throw SpreadsheetError(ErrorCode::TooLarge,
                             describeError(ErrorCode::TooLarge, baseName(path_),
                                           "not enough memory for its worksheet"));
    }
  }

  void close() override { reader_.reset(); }

  void setProgress(SheetProgress progress) override { progress_ = std::move(progress); }

 private:
  WorkbookReader& reader() {
    if (!reader_) throw SpreadsheetError(ErrorCode::NotOpen, "'" + baseName(path_) + "' is closed");
    return *reader_;
  }
  void checkIndex(int index) {
    int count = worksheetCount();
    if (index < 1 || index > count)
      throw SpreadsheetError(ErrorCode::NoSuchSheet,
                             describeError(ErrorCode::NoSuchSheet, baseName(path_),
                                           "it has " + std::to_string(count) + " worksheets, not " +
                                               std::to_string(index)));
  }

  std::string path_;
  std::unique_ptr<WorkbookReader> reader_;
  int active_ = 1;
  SheetProgress progress_;
};

class ComponentApplication final : public Application {
 public:
  explicit ComponentApplication(OpenOptions options) : options_(std::move(options)) {}

  Workbook& open(const std::string& path) override {
    auto shown = options_.displayNames.find(path);
    const std::string name = shown != options_.displayNames.end() ? shown->second : path;
    try {
      auto reader = openWorkbookReader(path, options_);
      workbook_ = std::make_unique<ComponentWorkbook>(name, std::move(reader));
      return *workbook_;
    } catch (const FormatError& e) {
      throw errorForFile(e, name);
    } catch (const std::bad_alloc&) {
      throw SpreadsheetError(ErrorCode::TooLarge, describeError(ErrorCode::TooLarge, baseName(name),
                                                                "not enough memory to open it"));
    }
  }

  void setDisplayAlerts(bool on) override { alerts_ = on; }

  void quit() override { workbook_.reset(); }

 private:
  OpenOptions options_;
  std::unique_ptr<ComponentWorkbook> workbook_;
  bool alerts_ = true;  // we never prompt, so the switch changes nothing we do
};

}  // namespace

std::unique_ptr<Application> createApplication(const OpenOptions& options) {
  return std::make_unique<ComponentApplication>(options);
}

}  // namespace quorvel::spreadsheet
