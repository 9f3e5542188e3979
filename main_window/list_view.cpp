#include "main_window/list_view.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>

namespace quorvel {

namespace {

constexpr int kImageRole = Qt::UserRole + 1;

// An entry whose tooltip is always its whole text, also after an edit.
class Entry : public QTreeWidgetItem {
 public:
  QVariant data(int column, int role) const override {
    if (role == Qt::ToolTipRole) return QTreeWidgetItem::data(column, Qt::DisplayRole);
    return QTreeWidgetItem::data(column, role);
  }
};

}  // namespace

ListView::ListView(const QString& name, bool checkBoxes, QWidget* parent)
    : QTreeWidget(parent), checkBoxes_(checkBoxes) {
  setObjectName(name);
  setColumnCount(0);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setSortingEnabled(false);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
  setIconSize(QSize(16, 16));
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  // Similar paths differ at their ends: keep both ends.
  setTextElideMode(Qt::ElideMiddle);
  header()->setStretchLastSection(true);
  header()->setSectionsMovable(false);
  header()->setSectionsClickable(false);
  header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void ListView::addColumn(const QString& header) {
  setHeaderLabels({header});
}

QIcon ListView::smallIcon(int image) const {
  const auto it = icons_.find(image);
  return it == icons_.end() ? QIcon() : it->second;
}

QRect ListView::checkBoxRect(int index) const {
  QTreeWidgetItem* entry = topLevelItem(index - 1);
  if (!entry) return {};
  const QModelIndex modelIndex = indexFromItem(entry);
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  option.rect = visualRect(modelIndex);
  option.index = modelIndex;
  option.features |= QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
  option.text = entry->text(0);
  option.checkState = entry->checkState(0);
  return style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this);
}

bool ListView::onCheckBox(const QPoint& pos) const {
  if (!checkBoxes_) return false;
  QTreeWidgetItem* entry = itemAt(pos);
  if (!entry) return false;
  return checkBoxRect(indexOfTopLevelItem(entry) + 1).contains(pos);
}

void ListView::mousePressEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  pressed_ = indexAt(pos);
  pressedOnCheckBox_ = onCheckBox(pos);
  QTreeWidget::mousePressEvent(event);
}

void ListView::mouseReleaseEvent(QMouseEvent* event) {
  const QModelIndex released = indexAt(event->position().toPoint());
  const bool click = event->button() == Qt::LeftButton && released.isValid() &&
                     released == pressed_ && !pressedOnCheckBox_;
  QTreeWidget::mouseReleaseEvent(event);
  if (click && selectionModel()->isSelected(released)) emit itemClick();
}

void ListView::keyPressEvent(QKeyEvent* event) {
  QTreeWidgetItem* before = selectedItems().isEmpty() ? nullptr : selectedItems().first();
  QTreeWidget::keyPressEvent(event);
  QTreeWidgetItem* after = selectedItems().isEmpty() ? nullptr : selectedItems().first();
  if (after && after != before) emit itemClick();
}

QItemSelectionModel::SelectionFlags ListView::selectionCommand(const QModelIndex& index,
                                                               const QEvent* event) const {
  // A list that has entries always has one selected: clicks on empty space,
  // Ctrl+clicks and check-box clicks leave the selection alone.
  if (!index.isValid()) return QItemSelectionModel::NoUpdate;
  if (event &&
      (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)) {
    const auto* mouse = static_cast<const QMouseEvent*>(event);
    if (onCheckBox(mouse->position().toPoint())) return QItemSelectionModel::NoUpdate;
  }
  auto flags = QTreeWidget::selectionCommand(index, event);
  if (flags & (QItemSelectionModel::Deselect | QItemSelectionModel::Toggle))
    flags = QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
  return flags;
}

QTreeWidgetItem* ListViewEntries::item(int index) const {
  if (index < 1 || index > view_.topLevelItemCount()) return nullptr;
  return view_.topLevelItem(index - 1);
}

int ListViewEntries::count() const {
  return view_.topLevelItemCount();
}

std::string ListViewEntries::text(int index) const {
  QTreeWidgetItem* entry = item(index);
  return entry ? entry->text(0).toStdString() : std::string();
}

void ListViewEntries::setText(int index, const std::string& text) {
  if (QTreeWidgetItem* entry = item(index)) entry->setText(0, QString::fromStdString(text));
}

bool ListViewEntries::ticked(int index) const {
  QTreeWidgetItem* entry = item(index);
  return entry && view_.checkBoxes() && entry->checkState(0) == Qt::Checked;
}

void ListViewEntries::setTicked(int index, bool ticked) {
  QTreeWidgetItem* entry = item(index);
  if (entry && view_.checkBoxes()) entry->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
}

int ListViewEntries::image(int index) const {
  QTreeWidgetItem* entry = item(index);
  return entry ? entry->data(0, kImageRole).toInt() : 0;
}

void ListViewEntries::setImage(int index, int image) {
  QTreeWidgetItem* entry = item(index);
  if (!entry) return;
  entry->setData(0, kImageRole, image);
  entry->setIcon(0, view_.smallIcon(image));
}

int ListViewEntries::add(const std::string& text, int image, int position) {
  const bool wasEmpty = count() == 0;
  auto* entry = new Entry;
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (view_.labelsEditable()) flags |= Qt::ItemIsEditable;
  if (view_.checkBoxes()) flags |= Qt::ItemIsUserCheckable;
  entry->setFlags(flags);
  entry->setText(0, QString::fromStdString(text));
  if (view_.checkBoxes()) entry->setCheckState(0, Qt::Unchecked);
  int index = count() + 1;
  if (position >= 1 && position <= count()) index = position;
  view_.insertTopLevelItem(index - 1, entry);
  setImage(index, image);
  if (wasEmpty) select(index);
  return index;
}

void ListViewEntries::remove(int index) {
  QTreeWidgetItem* entry = item(index);
  if (!entry) return;
  const bool wasSelected = entry->isSelected();
  delete view_.takeTopLevelItem(index - 1);
  if (wasSelected && count() > 0) select(std::min(index, count()));
}

void ListViewEntries::clear() {
  view_.clear();
}

int ListViewEntries::selected() const {
  const auto items = view_.selectedItems();
  return items.isEmpty() ? 0 : view_.indexOfTopLevelItem(items.first()) + 1;
}

void ListViewEntries::select(int index) {
  if (QTreeWidgetItem* entry = item(index)) {
    view_.setCurrentItem(entry);
    entry->setSelected(true);
  } else {
    // Nothing highlighted: the keyboard starts again at the first entry.
    view_.clearSelection();
    view_.setCurrentItem(nullptr);
  }
}

void ListViewEntries::refresh() {
  view_.viewport()->update();
}

void ListViewEntries::show() {
  view_.setVisible(true);
}

void ListViewEntries::ensureVisible(int index) {
  if (QTreeWidgetItem* entry = item(index)) view_.scrollToItem(entry);
}

}  // namespace quorvel
