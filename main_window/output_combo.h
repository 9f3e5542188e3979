#pragma once
// The output-directory box (Combo5): typed, or chosen from the history. Typing
// makes the selected index -1; choosing an entry copies it into the text.
// Enter adds nothing to the history and nothing completes what is typed.
// A folder dropped on it from a file manager becomes its text, as if typed;
// dropped files and addresses are refused. The whole text is its tooltip.
#include <QComboBox>
#include <QMimeData>
#include <optional>

#include "engine/window/window_model.h"

namespace quorvel {

class OutputCombo : public QComboBox {
  Q_OBJECT
 public:
  explicit OutputCombo(QWidget* parent);
  int selectedIndex() const { return typed_ ? -1 : currentIndex(); }
  void selectIndex(int index);
  bool typed() const { return typed_; }
  void setTyped(bool typed) { typed_ = typed; }

  // The folder a drop carries: one local folder and nothing else.
  static std::optional<QString> DroppedFolder(const QMimeData* data);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool typed_ = false;
};

// The window procedures' view of the output-directory box.
class OutputComboEntries : public ComboBox {
 public:
  explicit OutputComboEntries(OutputCombo& box) : box_(box) {}
  int count() const override;
  std::string entry(int index) const override;
  void insert(int index, const std::string& text) override;
  void remove(int index) override;
  int selectedIndex() const override;
  void select(int index) override;
  std::string text() const override;
  void setText(const std::string& text) override;

 private:
  OutputCombo& box_;
};

}  // namespace quorvel
