#include <gtest/gtest.h>

#include <QApplication>
#include <QtTest/QTest>
#include <filesystem>

#include "dialogs/desktop_host.h"
#include "tests/support/test_support.h"

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

TEST(QtDesktopHost, ABusyWindowShowsTheArrowWithTheHourglass) {
  QtDesktopHost host;
  host.setPointer(kPointerBusy);
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
  host.setPointer(kPointerHourglass);  // changed, not stacked
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  host.setPointer(kPointerDefault);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// Keeps the messages instead of showing them.
class RecordingHost : public QtDesktopHost {
 public:
  std::vector<std::string> messages;
  void showMessage(const std::string& text, MessageStyle) override { messages.push_back(text); }
};

TEST(QtDesktopHost, WhatTheDesktopCannotOpenIsNamedInAMessage) {
  // A desktop whose opener knows no program for anything.
  test::TempDir bin;
  const std::string opener = bin.file("xdg-open");
  test::writeFile(opener, "#!/bin/sh\necho \"$1\" > \"$(dirname \"$0\")/asked\"\nexit 3\n");
  std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
  const QByteArray path = qgetenv("PATH");
  qputenv("PATH", QByteArray::fromStdString(bin.path().string()) + ":" + path);

  RecordingHost host;
  host.open("/home/user/workbooks/out/");
  QTRY_COMPARE_WITH_TIMEOUT(host.messages.size(), std::size_t{1}, 60000);
  qputenv("PATH", path);
  EXPECT_EQ(host.messages[0],
            "Could not open \"/home/user/workbooks/out/\": the desktop has no program for it.");
  EXPECT_EQ(test::readFile(bin.file("asked")), "file:///home/user/workbooks/out/\n");
  EXPECT_EQ(CannotOpenMessage("https://quorvel.example.org/", 4),
            "Could not open \"https://quorvel.example.org/\": the program for it failed.");
  EXPECT_EQ(CannotOpenMessage("/x", -1).rfind("Could not open \"/x\": no program", 0), 0u);
}

}  // namespace
}  // namespace quorvel
