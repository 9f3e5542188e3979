#include <gtest/gtest.h>

#include <QGroupBox>
#include <QPushButton>
#include <QtTest/QTest>

#include "help_about/help_about.h"
#include "tests/gui/named_widget.h"
#include "tests/gui/scripted_host.h"
#include "tests/support/test_support.h"

namespace quorvel {
namespace {

TEST(AboutBox, ShowsProductVersionAndContactBlock) {
  test::ScriptedHost host;
  std::map<std::string, std::string> texts;
  QString caption;
  bool linksInFrame = false;
  host.onModal = [&](QDialog& dialog) {
    QDialog& about = dialog;
    caption = about.windowTitle();
    for (QLabel* label : std::initializer_list<QLabel*>{
             test::named<QLabel>(about, "Label1"), test::named<QLabel>(about, "Label2"),
             test::named<QLabel>(about, "Label3"), test::named<QLabel>(about, "Label4"),
             test::named<QLabel>(about, "Label7"), test::named<QLabel>(about, "Label8")})
      texts[label->objectName().toStdString()] = label->text().toStdString();
    QWidget* frame = test::named<QGroupBox>(about, "Frame1");
    linksInFrame = test::named<QLabel>(about, "Label2")->parentWidget() == frame &&
                   test::named<QLabel>(about, "Label8")->parentWidget() == frame &&
                   test::named<QLabel>(about, "Label6")->parentWidget() == frame;
    EXPECT_FALSE(test::named<QLabel>(about, "Label5")->text().isEmpty());
    EXPECT_FALSE(test::named<QLabel>(about, "Label6")->text().isEmpty());
  };
  ShowAboutBox(host, nullptr);
  EXPECT_EQ(host.dialogs, std::vector<std::string>{"modal:Dialog1"});
  EXPECT_EQ(caption, "About us");
  EXPECT_EQ(texts["Label1"], "Quorvel");
  EXPECT_EQ(texts["Label4"], "Version:29.12.29");
  EXPECT_EQ(texts["Label3"], "Technical Support:");
  EXPECT_EQ(texts["Label7"], " Website:");
  EXPECT_EQ(texts["Label2"], kSupportEmail);
  EXPECT_EQ(texts["Label8"], kHomePageAddress);
  EXPECT_TRUE(linksInFrame);
}

TEST(AboutBox, AddressLabelsOpenMailMaximizedAndWebNormallyThenOkCloses) {
  test::ScriptedHost host;
  int result = -1;
  bool visibleAfterOk = true;
  host.onModal = [&](QDialog& dialog) {
    QDialog& about = dialog;
    dialog.show();
    QTest::mouseClick(test::named<QLabel>(about, "Label2"), Qt::LeftButton);
    QTest::mouseClick(test::named<QLabel>(about, "Label8"), Qt::LeftButton);
    QTest::mouseClick(test::named<QPushButton>(about, "OKButton"), Qt::LeftButton);
    result = dialog.result();
    visibleAfterOk = dialog.isVisible();
  };
  ShowAboutBox(host, nullptr);
  EXPECT_EQ(host.opens,
            (std::vector<test::Opened>{{std::string("mailto:") + kSupportEmail, kShowMaximized},
                                       {kHomePageAddress, kShowNormal}}));
  EXPECT_EQ(result, QDialog::Accepted);
  EXPECT_FALSE(visibleAfterOk);
  EXPECT_TRUE(host.messages.empty());
}

TEST(AboutBox, SaysWhereTheListsAndSettingsAreKept) {
  test::ScriptedHost host;
  QString text;
  bool shown = false;
  host.onModal = [&](QDialog& dialog) {
    dialog.show();
    auto* label = dialog.findChild<QLabel*>("appFolderLabel");
    ASSERT_NE(label, nullptr);
    text = label->text();
    shown = label->isVisible();
  };
  ShowAboutBox(host, nullptr, "/home/ann/.config/quorvel");
  EXPECT_TRUE(shown);
  EXPECT_TRUE(text.contains("/home/ann/.config/quorvel")) << text.toStdString();
  ShowAboutBox(host, nullptr);
  EXPECT_FALSE(shown);
}

// A folder tree with the guide's first page at `page`, an executable's
// folder at `bin` in it.
class UserGuideTest : public ::testing::Test {
 protected:
  test::TempDir root;
  std::string put(const std::string& page) {
    const auto path = root.path() / page;
    std::filesystem::create_directories(path.parent_path());
    test::writeFile(path.string(), "<html></html>");
    return path.string();
  }
  std::string bin(const std::string& folder) {
    std::filesystem::create_directories(root.path() / folder);
    return (root.path() / folder).string();
  }
};

TEST_F(UserGuideTest, HelpOpensTheGuideBesideTheExecutableFirst) {
  const std::string installed = put("usr/share/quorvel/guide/index.html");
  test::ScriptedHost host;
  OpenHelpFile(host, bin("usr/bin"));
  const std::string beside = put("usr/bin/guide/index.html");
  OpenHelpFile(host, bin("usr/bin"));
  EXPECT_EQ(host.opens,
            (std::vector<test::Opened>{{installed, kShowNormal}, {beside, kShowNormal}}));
  EXPECT_TRUE(host.messages.empty());
  EXPECT_FALSE(IsAddress(installed));
}

TEST_F(UserGuideTest, MissingGuideIsReportedWithItsPathInsteadOfOpened) {
  test::ScriptedHost host;
  put("usr/share/quorvel/guide/other.html");  // a page, but not the first one
  OpenHelpFile(host, bin("usr/bin"));
  EXPECT_TRUE(host.opens.empty());
  const std::string expected = (root.path() / "usr/share/quorvel/guide/index.html").string();
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_NE(host.messages[0].text.find("\"" + expected + "\""), std::string::npos)
      << host.messages[0].text;
  EXPECT_EQ(host.messages[0].style, MessageStyle::Critical);
}

TEST(HomePage, OpensItsAddressWithoutAnyMessage) {
  test::ScriptedHost host;
  OpenHomePage(host);
  EXPECT_EQ(host.opens, (std::vector<test::Opened>{{kHomePageAddress, kShowNormal}}));
  EXPECT_TRUE(host.messages.empty());
  EXPECT_TRUE(IsAddress(kHomePageAddress));
  EXPECT_TRUE(IsAddress(std::string("mailto:") + kSupportEmail));
}

}  // namespace
}  // namespace quorvel
