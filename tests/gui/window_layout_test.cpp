// The window's layout: the designer's places at the default size, lists
// that grow with the window, a minimum size, long texts, one font, and a
// window that fits and works on a small screen at scale factors 1.5 and 2.
#include <QApplication>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QScreen>

#include "main_window/elided_label.h"
#include "tests/gui/window_fixture.h"

namespace quorvel::test {
namespace {

using Strings = std::vector<std::string>;

struct Placed {
  const char* name;
  QRect design;  // left, top, width, height in pixels of the client area
};

// The designer's places (twips / 15), as the window stands at 600 x 539.
const Placed kDesign[] = {
    {"Command1", {8, 0, 81, 65}},      {"Command5", {96, 0, 81, 65}},
    {"Command2", {184, 0, 89, 65}},    {"Command6", {280, 0, 73, 65}},
    {"Command8", {360, 0, 65, 65}},    {"Command7", {432, 0, 89, 65}},
    {"Command9", {528, 0, 65, 65}},    {"ListView1", {8, 72, 545, 177}},
    {"Command3", {560, 136, 25, 41}},  {"Command4", {560, 192, 25, 41}},
    {"Label3", {16, 256, 86, 22}},     {"Combo1", {104, 256, 449, 22}},
    {"ListView2", {8, 280, 265, 193}}, {"ListView3", {280, 280, 273, 193}},
    {"Label1", {8, 480, 585, 16}},     {"Label7", {8, 496, 129, 22}},
    {"Combo5", {144, 496, 313, 22}},   {"Command10", {464, 496, 65, 22}},
    {"Command11", {536, 496, 57, 22}}, {"ProgressBar1", {8, 520, 585, 17}},
};

QWidget* Control(MainWindow& form, const char* name) {
  return named<QWidget>(form, name);
}

// Whether a control is at least as large as the window lets it become: its
// fixed or least size, else its style's least size; a caption fits whole.
void ExpectNotSqueezed(QWidget* control, const std::string& when) {
  const QSize least(
      control->minimumWidth() ? control->minimumWidth() : control->minimumSizeHint().width(),
      control->minimumHeight() ? control->minimumHeight() : control->minimumSizeHint().height());
  EXPECT_GE(control->width(), least.width()) << when << qPrintable(control->objectName());
  EXPECT_GE(control->height(), least.height()) << when << qPrintable(control->objectName());
  if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    const int caption = button->fontMetrics().horizontalAdvance(button->text().remove('&'));
    EXPECT_LE(caption + 4, button->width()) << when << qPrintable(control->objectName());
  }
}

TEST_F(WindowTest, AtTheDesignedSizeTheControlsStandWhereTheDesignerPutThem) {
  start();
  EXPECT_EQ(form->centralWidget()->size(), QSize(600, 539));
  for (const Placed& placed : kDesign) {
    QWidget* control = Control(*form, placed.name);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->geometry(), placed.design) << placed.name;
  }
}

TEST_F(WindowTest, ListsGrowWithTheWindowWhichHasAMinimumAndCanBeMaximized) {
  start();
  EXPECT_LT(form->minimumSize().width(), 600);
  EXPECT_LT(form->minimumSize().height(), 400);
  EXPECT_GT(form->maximumSize().width(), 2000);
  EXPECT_TRUE(form->windowFlags() & Qt::WindowMaximizeButtonHint);

  const QSize jobs = jobList()->size(), books = workbookList()->size();
  form->resize(form->width() + 200, form->height() + 100);
  QCoreApplication::processEvents();
  EXPECT_EQ(jobList()->width(), jobs.width() + 200);
  EXPECT_EQ(workbookList()->width() + worksheetList()->width(), 265 + 273 + 200);
  EXPECT_EQ(jobList()->height() + workbookList()->height(), 177 + 193 + 100);
  EXPECT_GT(workbookList()->height(), books.height());
  // The bands below the lists keep their heights and follow the bottom.
  EXPECT_EQ(progressBar()->height(), 17);
  EXPECT_EQ(progressBar()->geometry().bottom(), form->centralWidget()->height() - 3);
  EXPECT_EQ(viewButton()->geometry().right(), form->centralWidget()->width() - 8);

  // At its least size nothing overlaps and nothing is squeezed.
  form->resize(form->minimumSize());
  QCoreApplication::processEvents();
  std::vector<QWidget*> controls;
  for (const Placed& placed : kDesign) controls.push_back(Control(*form, placed.name));
  for (QWidget* control : controls) {
    ExpectNotSqueezed(control, "least size: ");
    for (QWidget* other : controls) {
      if (other != control) {
        EXPECT_FALSE(control->geometry().intersects(other->geometry()))
            << qPrintable(control->objectName()) << " and " << qPrintable(other->objectName());
      }
    }
  }
}

TEST_F(WindowTest, LongTextsLoseTheirMiddleAndShowWholeAsTooltips) {
  const std::string deep = "/home/user/workbooks/" + std::string(120, 'x') + "/quarter-4.xlsx";
  test::writeFile(appFile("EXCEL.txt"), deep + "\r\n");
  start();
  EXPECT_EQ(jobList()->textElideMode(), Qt::ElideMiddle);
  QTreeWidgetItem* entry = jobList()->topLevelItem(0);
  EXPECT_EQ(entry->toolTip(0).toStdString(), deep);
  // The headers span their lists.
  for (ListView* list : {jobList(), workbookList(), worksheetList()})
    EXPECT_EQ(list->header()->sectionSize(0), list->viewport()->width())
        << qPrintable(list->objectName());

  form->setStatus("Convert " + std::string(300, 'y') + ": the last sheet");
  auto* status = static_cast<ElidedLabel*>(statusLabel());
  const QString shown = status->shownText();
  EXPECT_TRUE(shown.startsWith("Convert yyy")) << qPrintable(shown);
  EXPECT_TRUE(shown.endsWith("the last sheet")) << qPrintable(shown);
  EXPECT_LT(shown.size(), status->text().size());
  EXPECT_EQ(status->toolTip(), status->text());
  // A long status never widens the window.
  EXPECT_EQ(form->centralWidget()->width(), 600);
}

TEST_F(WindowTest, MenusAndControlsShareOneFont) {
  start();
  const QFont font = form->font();
  EXPECT_EQ(form->menuBar()->font(), font);
  for (QAction* entry : form->menuBar()->actions()) {
    if (entry->menu()) {
      EXPECT_EQ(entry->menu()->font(), font) << qPrintable(entry->text());
    }
  }
  for (QWidget* control :
       {static_cast<QWidget*>(jobList()), static_cast<QWidget*>(namingBox()),
        static_cast<QWidget*>(convertButton()), static_cast<QWidget*>(viewButton())}) {
    EXPECT_EQ(control->font(), font) << qPrintable(control->objectName());
  }
}

// Run as it stands in any process, and by WindowScale in processes whose
// screen is 1280 x 1024 pixels at a scale factor.
TEST_F(WindowTest, EveryControlIsOnTheScreenAndWorks) {
  const std::string book = workbook("Book1.xls");
  test::writeFile(appFile("EXCEL.txt"), book + "\r\n");
  start();
  const QRect screen = form->screen()->availableGeometry();
  if (const QByteArray scale = qgetenv("QUORVEL_EXPECT_SCALE"); !scale.isEmpty()) {
    EXPECT_DOUBLE_EQ(form->screen()->devicePixelRatio(), scale.toDouble());
    EXPECT_EQ(form->screen()->geometry().width(), qRound(1280 / scale.toDouble()));
  }
  auto onScreen = [&](const char* when) {
    EXPECT_TRUE(screen.contains(form->frameGeometry()))
        << when << ": window " << form->frameGeometry().width() << "x"
        << form->frameGeometry().height() << " on " << screen.width() << "x" << screen.height();
    for (const Placed& placed : kDesign) {
      QWidget* control = Control(*form, placed.name);
      const QRect global(control->mapToGlobal(QPoint(0, 0)), control->size());
      EXPECT_TRUE(screen.contains(global)) << when << ": " << placed.name;
      ExpectNotSqueezed(control, std::string(when) + ": ");
      // Nothing lies on top of it.
      QWidget* top = QApplication::widgetAt(global.center());
      EXPECT_TRUE(top == control || control->isAncestorOf(top)) << when << ": " << placed.name;
    }
  };
  onScreen("at first");

  // Reached by the mouse, each command does what it does.
  for (QAbstractButton* button : {static_cast<QAbstractButton*>(addWorkbookButton()),
                                  static_cast<QAbstractButton*>(addFolderButton()),
                                  static_cast<QAbstractButton*>(browseButton())}) {
    const auto before = host.dialogs.size();
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(host.dialogs.size(), before + 1) << qPrintable(button->objectName());
  }
  QTest::mouseClick(homePageButton(), Qt::LeftButton);
  EXPECT_EQ(host.opens.size(), 1u);
  click(jobList(), 1);
  EXPECT_EQ(texts(workbookList()), Strings{"Book1.xls"});

  form->showMaximized();
  QTRY_VERIFY_WITH_TIMEOUT(form->isMaximized(), 10000);
  QTRY_VERIFY_WITH_TIMEOUT(form->width() > 600 || form->height() > 560, 10000);
  onScreen("maximized");
}

// The window at scale factors 1.5 and 2 on a 1280 x 1024 screen: the test
// above, each in a process of its own, as Qt takes its scale at start.
TEST(WindowScale, FitsAndWorksAtScaleFactors1Point5And2) {
  TempDir dir;
  const std::string config = dir.file("screen.json");
  test::writeFile(config, R"({"screens": [{"name": "Screen", "x": 0, "y": 0, "width": 1280, )"
                          R"("height": 1024, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
  for (const char* scale : {"1.5", "2"}) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", QString::fromStdString("offscreen:configfile=" + config));
    env.insert("QT_SCALE_FACTOR", scale);
    env.insert("QUORVEL_EXPECT_SCALE", scale);
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=WindowTest.EveryControlIsOnTheScreenAndWorks"});
    ASSERT_TRUE(child.waitForFinished(180000)) << scale;
    const std::string output = child.readAll().toStdString();
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << scale;
    EXPECT_EQ(child.exitCode(), 0) << "scale " << scale << ":\n" << output;
    EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
  }
}

}  // namespace
}  // namespace quorvel::test
