#include "main_window/output_combo.h"

#include <QLineEdit>

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
