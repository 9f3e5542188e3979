#pragma once
// A one-line label for texts of any length (the status line): a text
// wider than the label loses its middle, and a long text never widens the
// window.
#include <QLabel>

namespace quorvel {

class ElidedLabel : public QLabel {
  Q_OBJECT
 public:
  explicit ElidedLabel(QWidget* parent = nullptr);

  QSize minimumSizeHint() const override;
  QSize sizeHint() const override;
  // The text as drawn at the label's present width.
  QString shownText() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace quorvel
