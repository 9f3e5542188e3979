#include <gtest/gtest.h>

#include <QGroupBox>
#include <QPushButton>
#include <QtTest/QTest>

#include "help_about/help_about.h"
#include "tests/gui/named_widget.h"
#include "tests/gui/scripted_host.h"

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

TEST(HelpAndHomePage, OpenTheirTargetsWithoutAnyMessage) {
  test::ScriptedHost host;
  OpenHelpFile(host, "/opt/quorvel");  // no help.chm there: left to the shell
  OpenHomePage(host);
  EXPECT_EQ(host.opens, (std::vector<test::Opened>{{"/opt/quorvel/help.chm", kShowNormal},
                                                   {kHomePageAddress, kShowNormal}}));
  EXPECT_TRUE(host.messages.empty());
  EXPECT_TRUE(IsAddress(kHomePageAddress));
  EXPECT_TRUE(IsAddress(std::string("mailto:") + kSupportEmail));
  EXPECT_FALSE(IsAddress("/opt/quorvel/help.chm"));
}

}  // namespace
}  // namespace quorvel
