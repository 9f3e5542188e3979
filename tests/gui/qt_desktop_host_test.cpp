#include <gtest/gtest.h>

#include <QApplication>

#include "dialogs/desktop_host.h"

namespace quorvel {
namespace {

TEST(QtDesktopHost, HourglassIsTheWaitCursorAndNeverStacks) {
  {
    QtDesktopHost host;
    host.setPointer(kPointerHourglass);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    host.setPointer(kPointerHourglass);
    host.setPointer(kPointerDefault);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    host.setPointer(kPointerDefault);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    host.setPointer(kPointerHourglass);
  }
  // A host that ends while waiting gives the pointer back.
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace quorvel
