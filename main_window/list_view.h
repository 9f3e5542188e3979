#pragma once
// The report-style list of the main window (job, workbook and worksheet list): one
// column with a header that spans the list, optional check boxes and small
// images, optional in-place label editing (click a selected entry, or F2),
// never sorted. Long texts lose their middle, and the whole text shows as
// the entry's tooltip. It keeps one entry selected once the user picked
// one, and reports ItemClick when the user selects an entry by mouse or
// keyboard; a click on a check box only ticks.
#include <QIcon>
#include <QTreeWidget>
#include <map>

#include "engine/window/window_model.h"

namespace quorvel {

class ListView : public QTreeWidget {
  Q_OBJECT
 public:
  ListView(const QString& name, bool checkBoxes, QWidget* parent);

  // The one column, as wide as the list.
  void addColumn(const QString& header);
  // Whether the user may edit entries' texts in place; not at first.
  void setLabelsEditable(bool editable) { labelsEditable_ = editable; }
  bool labelsEditable() const { return labelsEditable_; }
  // Images 1, 2, 3… of the small-image list.
  void setSmallIcons(std::map<int, QIcon> icons) { icons_ = std::move(icons); }
  bool checkBoxes() const { return checkBoxes_; }
  QIcon smallIcon(int image) const;

  // Where the check box of the entry at `index` (1-based) is drawn.
  QRect checkBoxRect(int index) const;

 signals:
  void itemClick();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                       const QEvent* event) const override;

 private:
  bool onCheckBox(const QPoint& pos) const;

  bool checkBoxes_;
  bool labelsEditable_ = false;
  std::map<int, QIcon> icons_;
  QPersistentModelIndex pressed_;
  bool pressedOnCheckBox_ = false;
};

// The window procedures' view of a ListView.
class ListViewEntries : public EntryList {
 public:
  explicit ListViewEntries(ListView& view) : view_(view) {}

  int count() const override;
  std::string text(int index) const override;
  void setText(int index, const std::string& text) override;
  bool ticked(int index) const override;
  void setTicked(int index, bool ticked) override;
  int image(int index) const override;
  void setImage(int index, int image) override;
  int add(const std::string& text, int image = 0, int position = 0) override;
  void remove(int index) override;
  void clear() override;
  int selected() const override;
  void select(int index) override;
  void refresh() override;
  void show() override;
  void ensureVisible(int index);

 private:
  QTreeWidgetItem* item(int index) const;
  ListView& view_;
};

}  // namespace quorvel
