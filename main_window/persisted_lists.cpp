#include "main_window/persisted_lists.h"

#include <QComboBox>
#include <vector>

#include "dialogs/desktop_host.h"
#include "main_window/form1.h"
#include "main_window/icons.h"
#include "main_window/list_view.h"
#include "main_window/output_combo.h"
#include "settings/line_file.h"
#include "settings/settings_file.h"

namespace quorvel {

std::string JobListPath(const std::string& appFolder) {
  return appFolder + "/EXCEL.txt";
}
std::string OutputHistoryPath(const std::string& appFolder) {
  return appFolder + "/output.txt";
}

int ImageForPathKind(PathKind pathKind) {
  if (pathKind == PathKind::File) return kImageFile;
  if (pathKind == PathKind::Directory) return kImageFolder;
  return kImageMissing;
}

void Form1::Form_Load() {
  ListView1->setSmallIcons({{kImageFile, icons::Workbook()},
                            {kImageFolder, icons::Folder()},
                            {kImageMissing, icons::Missing()}});
  ListView1->addColumn("Please Select the Excel File or Folder to Convert", 7800 / 15);
  ListView2->addColumn("WorkBooks", 3600 / 15);
  ListView3->addColumn("WorkSheets", 3700 / 15);

  // Every line becomes an entry, even empty ones and paths that are gone.
  for (const auto& line : ReadLines(JobListPath(appFolder_))) {
    const int index = jobEntries_->add(line);
    jobEntries_->setImage(index, ImageForPathKind(GetPathKind(line)));
  }

  for (const auto& line : ReadLines(OutputHistoryPath(appFolder_)))
    outputEntries_->insert(outputEntries_->count(), line);
  if (outputEntries_->count() >= 1)
    outputEntries_->select(0);
  else
    outputEntries_->select(-1);

  for (const char* text : kNamingOptions) Combo1->addItem(text);
  Combo1->setCurrentIndex(0);
}

void Form1::Form_Unload() {
  const auto switches = ReadSettings(appFolder_);
  std::vector<std::string> failed;
  if (switches.saveJobList) {
    std::vector<std::string> lines;
    for (int i = 1; i <= jobEntries_->count(); ++i) lines.push_back(jobEntries_->text(i));
    if (!WriteLines(JobListPath(appFolder_), lines)) failed.push_back(JobListPath(appFolder_));
  }
  if (switches.saveOutputHistory) {
    std::vector<std::string> lines;
    for (int i = 0; i < outputEntries_->count() && i < kMaxSavedHistory; ++i)
      lines.push_back(outputEntries_->entry(i));
    if (!WriteLines(OutputHistoryPath(appFolder_), lines))
      failed.push_back(OutputHistoryPath(appFolder_));
  }
  // The window still closes, but the user learns that the lists are not kept.
  for (const auto& path : failed)
    host_.showMessage("Failed to save \"" + path + "\"!", MessageStyle::Critical);
}

}  // namespace quorvel
