#pragma once
// The end of a run with failures: the counts, then every failed workbook
// with its messages, in a text that can be selected and copied.
#include <QDialog>

#include "engine/window/run_report.h"

class QPlainTextEdit;
class QPushButton;

namespace quorvel {

class FailureListDialog : public QDialog {
  Q_OBJECT
 public:
  explicit FailureListDialog(const RunReport& report, QWidget* parent = nullptr);

  // Puts the whole list on the clipboard.
  void onCopyClicked();

 private:
  QPlainTextEdit* text_;
  QPushButton* copyButton_;
  QPushButton* okButton_;
};

}  // namespace quorvel
