#include "main_window/output_combo.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QUrl>

namespace quorvel {

OutputCombo::OutputCombo(QWidget* parent) : QComboBox(parent) {
  setObjectName("Combo5");
  setEditable(true);
  setInsertPolicy(QComboBox::NoInsert);
  setCompleter(nullptr);
  setMaxVisibleItems(15);
  // Qt would pick the entry equal to a typed path when editing ends; a
  // typed path stays typed, whatever it says.
  disconnect(lineEdit(), &QLineEdit::editingFinished, this, nullptr);
  connect(lineEdit(), &QLineEdit::textEdited, this, [this] { typed_ = true; });
  connect(this, &QComboBox::activated, this, [this](int index) {
    typed_ = false;
    setEditText(itemText(index));
  });
  connect(this, &QComboBox::editTextChanged, this, &QWidget::setToolTip);
  // The line edit would insert a dropped folder's address as text.
  lineEdit()->installEventFilter(this);
  installEventFilter(this);
  setAcceptDrops(true);
}

std::optional<QString> OutputCombo::DroppedFolder(const QMimeData* data) {
  if (!data || !data->hasUrls() || data->urls().size() != 1) return std::nullopt;
  const QUrl url = data->urls().front();
  if (!url.isLocalFile()) return std::nullopt;
  const QString path = url.toLocalFile();
  if (!QFileInfo(path).isDir()) return std::nullopt;
  // A folder's address may end in a separator; the box holds folders without.
  return path.size() > 1 && path.endsWith('/') ? path.chopped(1) : path;
}

bool OutputCombo::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDragMoveEvent*>(event);
      if (!drag->mimeData()->hasUrls()) break;  // plain text: the line edit's business
      if (isEnabled() && DroppedFolder(drag->mimeData()))
        drag->acceptProposedAction();
      else
        drag->ignore();
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      if (!drop->mimeData()->hasUrls()) break;
      const auto folder = DroppedFolder(drop->mimeData());
      if (folder && isEnabled()) {
        typed_ = true;
        setEditText(*folder);
        drop->acceptProposedAction();
      } else {
        drop->ignore();
      }
      return true;
    }
    default:
      break;
  }
  return QComboBox::eventFilter(watched, event);
}

void OutputCombo::selectIndex(int index) {
  typed_ = false;
  setCurrentIndex(index);
  if (index < 0) setEditText(QString());
}

int OutputComboEntries::count() const {
  return box_.count();
}

std::string OutputComboEntries::entry(int index) const {
  return box_.itemText(index).toStdString();
}

void OutputComboEntries::insert(int index, const std::string& text) {
  // A path the user typed stays in the box while the list changes.
  const QString typedText = box_.currentText();
  box_.insertItem(index, QString::fromStdString(text));
  if (box_.typed()) box_.setEditText(typedText);
}

void OutputComboEntries::remove(int index) {
  const QString typedText = box_.currentText();
  box_.removeItem(index);
  if (box_.typed()) box_.setEditText(typedText);
}

int OutputComboEntries::selectedIndex() const {
  return box_.selectedIndex();
}

void OutputComboEntries::select(int index) {
  box_.selectIndex(index);
}

std::string OutputComboEntries::text() const {
  return box_.currentText().toStdString();
}

void OutputComboEntries::setText(const std::string& text) {
  box_.setTyped(true);
  box_.setEditText(QString::fromStdString(text));
}

}  // namespace quorvel
