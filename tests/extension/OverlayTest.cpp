#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "common/QParagraphLabel.h"
#include "common/UiTestSupport.h"
#include "extension/QHudOverlay.h"
#include "extension/QProgressHUD.h"
#include "extension/QToastView.h"

namespace vexhal {
namespace {

using test::processDeferredDeletes;

struct OverlayTest : testing::Test {
  OverlayTest() {
    QProgressHUD::setScheduler(scheduler.function<QObject>());
    window.setCentralWidget(new QWidget);
    window.resize(800, 600);
    window.show();
  }
  ~OverlayTest() override { QProgressHUD::setScheduler(nullptr); }

  test::RecordingScheduler scheduler;
  QMainWindow window;
};

TEST_F(OverlayTest, AskingTwiceForTheBusyOverlayGivesTheSameOne) {
  QProgressHUD* first = QHudOverlay::showBusy(&window);
  QProgressHUD* second = QHudOverlay::showBusy(window.centralWidget());
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, second);
  EXPECT_EQ(window.centralWidget()->findChildren<QProgressHUD*>().size(), 1);
}

TEST_F(OverlayTest, OneHideRemovesTheBusyOverlay) {
  QPointer<QProgressHUD> hud = QHudOverlay::showBusy(&window);
  QHudOverlay::showBusy(&window);
  QHudOverlay::hideBusy(&window);
  EXPECT_EQ(QHudOverlay::busyOverlay(&window), nullptr);
  processDeferredDeletes();
  EXPECT_TRUE(hud.isNull());
  QHudOverlay::hideBusy(&window);  // nothing left to hide
}

TEST_F(OverlayTest, EachWindowHasItsOwnBusyOverlay) {
  QMainWindow other;
  other.setCentralWidget(new QWidget);
  other.show();
  QProgressHUD* mine = QHudOverlay::showBusy(&window);
  QProgressHUD* theirs = QHudOverlay::showBusy(&other);
  EXPECT_NE(mine, theirs);
  EXPECT_EQ(theirs->parentWidget(), other.centralWidget());
}

TEST_F(OverlayTest, TheBusyOverlayCoversAndBlocksTheContentView) {
  QProgressHUD* hud = QHudOverlay::showBusy(&window);
  EXPECT_EQ(hud->parentWidget(), window.centralWidget());
  EXPECT_EQ(hud->geometry(), window.centralWidget()->rect());
  EXPECT_FALSE(hud->testAttribute(Qt::WA_TransparentForMouseEvents));
  EXPECT_EQ(hud->mode(), QProgressHUD::Mode::indeterminate);
  window.resize(1000, 700);
  EXPECT_EQ(hud->geometry(), window.centralWidget()->rect());
}

TEST_F(OverlayTest, AToastWithoutTextShowsNothing) {
  EXPECT_EQ(QHudOverlay::showToast(&window, std::nullopt), nullptr);
  EXPECT_EQ(QHudOverlay::showToast(&window, QString()), nullptr);
  EXPECT_TRUE(window.centralWidget()->findChildren<QProgressHUD*>().isEmpty());
  EXPECT_TRUE(scheduler.tasks->empty());
}

TEST_F(OverlayTest, AToastHidesItselfAfterTwoSeconds) {
  QPointer<QProgressHUD> toast = QHudOverlay::showToast(&window, QStringLiteral("Successfully saved"), 2.0);
  ASSERT_FALSE(toast.isNull());
  EXPECT_TRUE(toast->isVisible());
  EXPECT_EQ(QHudOverlay::toast(&window), toast.data());
  ASSERT_EQ(scheduler.tasks->size(), 1u);
  EXPECT_EQ(scheduler.tasks->at(0).ms, 2000);

  scheduler.tasks->at(0).run();

  EXPECT_EQ(QHudOverlay::toast(&window), nullptr);
  processDeferredDeletes();
  EXPECT_TRUE(toast.isNull());
}

TEST_F(OverlayTest, AToastLetsClicksThroughAndDrawsItsTextOnADarkPlate) {
  QProgressHUD* toast = QHudOverlay::showToast(&window, QStringLiteral("Successfully saved"));
  EXPECT_TRUE(toast->testAttribute(Qt::WA_TransparentForMouseEvents));
  EXPECT_EQ(toast->bezelColor().alpha(), 0);
  EXPECT_EQ(toast->mode(), QProgressHUD::Mode::customView);
  auto* plate = qobject_cast<QToastView*>(toast->customView());
  ASSERT_NE(plate, nullptr);
  EXPECT_EQ(plate->label()->text(), QStringLiteral("Successfully saved"));
  EXPECT_TRUE(plate->isVisible());
}

TEST(ToastSizeTest, ThePlateIsAtLeast32SquareAndALongTextWrapsAt280) {
  const QString longText = QStringLiteral("The camera did not answer. ").repeated(10);
  for (const QString& text : {QStringLiteral("!"), QStringLiteral("Saved"), longText}) {
    QToastView view(text);
    view.show();
    EXPECT_EQ(view.label()->width(), text == longText ? 280 : view.label()->naturalWidth())
        << text.toStdString();
    EXPECT_GE(view.width(), 32) << text.toStdString();
    EXPECT_GE(view.height(), 32) << text.toStdString();
  }
  EXPECT_GT(QToastView(longText).sizeHint().height(),
            QToastView(QStringLiteral("Saved")).sizeHint().height() * 3);
}

TEST_F(OverlayTest, AToastStaysCentredUnlessItWouldCoverTheControlThatShowedIt) {
  auto* save = new QPushButton(QStringLiteral("Save"), window.centralWidget());
  save->setGeometry(350, 280, 100, 40);  // in the middle, where the toast would go
  save->show();
  QPointer<QProgressHUD> toast;
  QObject::connect(save, &QPushButton::clicked, [&] {
    toast = QHudOverlay::showToast(&window, QStringLiteral("Successfully saved"));
  });
  const auto plate = [&] {
    return QRect(toast->customView()->mapTo(window.centralWidget(), QPoint(0, 0)),
                 toast->customView()->size());
  };

  QCursor::setPos(window.mapToGlobal(QPoint(5, 5)));  // over no control
  toast = QHudOverlay::showToast(&window, QStringLiteral("Software is up to date"));
  EXPECT_LE((plate().center() - window.centralWidget()->rect().center()).manhattanLength(), 1);
  QTest::mouseClick(save, Qt::LeftButton);
  ASSERT_TRUE(toast);
  EXPECT_FALSE(plate().intersects(save->geometry()));
  EXPECT_GT(plate().top(), save->geometry().bottom());
  EXPECT_TRUE(window.centralWidget()->rect().contains(plate()));
}

TEST_F(OverlayTest, ANewToastReplacesTheOneOnScreen) {
  QPointer<QProgressHUD> first = QHudOverlay::showToast(&window, QStringLiteral("one"));
  QPointer<QProgressHUD> second = QHudOverlay::showToast(&window, QStringLiteral("two"));
  EXPECT_EQ(QHudOverlay::toast(&window), second.data());
  processDeferredDeletes();
  EXPECT_TRUE(first.isNull());
  // The first toast's timer firing late leaves the second alone.
  ASSERT_EQ(scheduler.tasks->size(), 2u);
  scheduler.tasks->at(0).run();
  EXPECT_EQ(QHudOverlay::toast(&window), second.data());
}

TEST_F(OverlayTest, TheToastAndTheBusyOverlayAreApart) {
  QProgressHUD* toast = QHudOverlay::showToast(&window, QStringLiteral("Saved"));
  QProgressHUD* busy = QHudOverlay::showBusy(&window);
  EXPECT_NE(toast, busy);
  QHudOverlay::hideBusy(&window);
  EXPECT_EQ(QHudOverlay::toast(&window), toast);
}

TEST_F(OverlayTest, AWindowWithoutCentralWidgetUsesItself) {
  QWidget plain;
  plain.show();
  QProgressHUD* hud = QHudOverlay::showBusy(&plain);
  EXPECT_EQ(hud->parentWidget(), &plain);
  EXPECT_EQ(QHudOverlay::showBusy(nullptr), nullptr);
  EXPECT_EQ(QHudOverlay::showToast(nullptr, QStringLiteral("x")), nullptr);
}

}  // namespace
}  // namespace vexhal
