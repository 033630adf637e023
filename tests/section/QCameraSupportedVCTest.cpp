#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include "common/UiTestSupport.h"
#include "section/camera_list/QCameraSupportedVC.h"

namespace vexhal {
namespace {

using test::processDeferredDeletes;

void finishFade(QCameraSupportedVC* sheet) {
  QVariantAnimation* fade = sheet->fadeAnimation();
  ASSERT_NE(fade, nullptr);
  fade->setCurrentTime(fade->duration());
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
  const QList<std::pair<QString, QString>> expected{{QStringLiteral("PICO EDGE"), QStringLiteral("USB相机")},
                                                    {QStringLiteral("Halden Desk"), QStringLiteral("桌面会议一体机")}};
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(rows.at(i)->findChild<QLabel*>(QStringLiteral("deviceName"))->text(), expected.at(i).first);
    EXPECT_EQ(rows.at(i)->findChild<QLabel*>(QStringLiteral("deviceType"))->text(), expected.at(i).second);
  }
  EXPECT_LT(rows.at(0)->y(), rows.at(1)->y());
  EXPECT_EQ(sheet->geometry(), host.rect());
  host.resize(1000, 700);
  EXPECT_EQ(sheet->geometry(), host.rect());
}

// The sheet fades in; the close button fades it out and only then removes it.
TEST_F(SupportedSheetTest, FadesInAndTheCloseButtonFadesOutBeforeRemovingIt) {
  EXPECT_EQ(sheet->maskOpacity(), 0.0);
  finishFade(sheet);
  EXPECT_DOUBLE_EQ(sheet->maskOpacity(), 0.5);
  EXPECT_DOUBLE_EQ(sheet->panelOpacity(), 1.0);
  QTest::mouseClick(sheet->findChild<QToolButton*>(QStringLiteral("closeBtn")), Qt::LeftButton);
  processDeferredDeletes();
  ASSERT_FALSE(sheet.isNull()) << "stays until the fade has ended";
  finishFade(sheet);
  EXPECT_DOUBLE_EQ(sheet->maskOpacity(), 0.0);
  EXPECT_DOUBLE_EQ(sheet->panelOpacity(), 0.0);
  processDeferredDeletes();
  EXPECT_TRUE(sheet.isNull());
}

TEST_F(SupportedSheetTest, AClickOnTheMaskClosesItButAClickOnThePanelDoesNot) {
  finishFade(sheet);
  QTest::mouseClick(sheet, Qt::LeftButton, {}, sheet->panel()->geometry().center());
  EXPECT_EQ(sheet->fadeAnimation()->endValue().toReal(), 1.0);
  QTest::mouseClick(sheet, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(sheet->fadeAnimation()->endValue().toReal(), 0.0);
  finishFade(sheet);
  processDeferredDeletes();
  EXPECT_TRUE(sheet.isNull());
}

}  // namespace
}  // namespace vexhal
