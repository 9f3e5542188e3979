#pragma once
// The one font of the program's windows: Arial (Liberation Sans on Debian,
// which has Arial's metrics, so the fixed layouts hold).
#include <QFont>

namespace quorvel {

inline QFont WindowFont() {
  QFont font("Arial");
  font.setPixelSize(12);
  return font;
}

}  // namespace quorvel
