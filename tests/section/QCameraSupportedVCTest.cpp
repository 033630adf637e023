#include <QToolButton>

#include "common/UiTestSupport.h"
#include "section/camera_list/QCameraSupportedVC.h"

namespace vexhal {
namespace {

void finishFade(QCameraSupportedVC* sheet) {
  sheet->fadeAnimation()->setCurrentTime(sheet->fadeAnimation()->duration());
}

struct SupportedSheetTest : testing::Test {
  SupportedSheetTest() {
    host.resize(900, 600);
    host.show();
    sheet = new QCameraSupportedVC;
    sheet->presentOver(&host);
  }

  QWidget host;
  QPointer<QCameraSupportedVC> sheet;
};

TEST_F(SupportedSheetTest, ListsTheTwoSupportedModelsInOrderOverTheWholeHost) {
  const QList<QWidget*> rows = sheet->findChildren<QWidget*>(QStringLiteral("supportedRow"));
  ASSERT_EQ(rows.size(), 2);
  const QStringList expected{"PICO EDGE", "USB相机", "Halden Desk", "桌面会议一体机"};
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(rows.at(i)->findChild<QLabel*>(QStringLiteral("deviceName"))->text(),
              expected.at(2 * i));
    EXPECT_EQ(rows.at(i)->findChild<QLabel*>(QStringLiteral("deviceType"))->text(),
              expected.at(2 * i + 1));
  }
  EXPECT_LT(rows.at(0)->y(), rows.at(1)->y());
  host.resize(1000, 700);
  EXPECT_EQ(sheet->geometry(), host.rect());
}

// The sheet fades in; a click on the panel keeps it, the close button or the mask fade it out,
// and only then is it removed.
TEST_F(SupportedSheetTest, FadesInAndTheCloseButtonOrTheMaskFadeItOutBeforeRemovingIt) {
  for (const bool byMask : {false, true}) {
    finishFade(sheet);
    EXPECT_DOUBLE_EQ(sheet->maskOpacity(), 0.5);
    EXPECT_DOUBLE_EQ(sheet->panelOpacity(), 1.0);
    QTest::mouseClick(sheet, Qt::LeftButton, {}, sheet->panel()->geometry().center());
    EXPECT_EQ(sheet->fadeAnimation()->endValue().toReal(), 1.0);
    if (byMask) {
      QTest::mouseClick(sheet, Qt::LeftButton, {}, QPoint(5, 5));
    } else {
      QTest::mouseClick(sheet->findChild<QToolButton*>(QStringLiteral("closeBtn")), Qt::LeftButton);
    }
    test::processDeferredDeletes();
    ASSERT_FALSE(sheet.isNull()) << "stays until the fade has ended";
    finishFade(sheet);
    EXPECT_DOUBLE_EQ(sheet->maskOpacity(), 0.0);
    test::processDeferredDeletes();
    EXPECT_TRUE(sheet.isNull());
    sheet = new QCameraSupportedVC;
    sheet->presentOver(&host);
    EXPECT_EQ(sheet->maskOpacity(), 0.0);
  }
}

}  // namespace
}  // namespace vexhal
