#include <QMainWindow>

#include "common/UiTestSupport.h"

namespace vexhal {
namespace {

using test::processDeferredDeletes;

struct OverlayTest : testing::Test {
  OverlayTest() {
    window.setCentralWidget(new QWidget);
    window.resize(800, 600);
    window.show();
  }
  test::RecordingScheduler scheduler;
  Scheduler later = scheduler.function<QObject>();
  QMainWindow window;
};

// One busy overlay per window, over its content view, blocking clicks and following its size;
// one hide removes it, and it is apart from the toast.
TEST_F(OverlayTest, OneBusyOverlayPerWindowCoversAndBlocksItsContent) {
  QPointer<QProgressHUD> hud = QHudOverlay::showBusy(&window);
  EXPECT_EQ(QHudOverlay::showBusy(window.centralWidget()), hud.data());
  EXPECT_EQ(hud->parentWidget(), window.centralWidget());
  EXPECT_FALSE(hud->testAttribute(Qt::WA_TransparentForMouseEvents));
  window.resize(1000, 700);
  EXPECT_EQ(hud->geometry(), window.centralWidget()->rect());
  EXPECT_EQ(QHudOverlay::showBusy(nullptr), nullptr);
  QProgressHUD* toast = QHudOverlay::showToast(&window, QStringLiteral("Saved"), later);
  EXPECT_NE(toast, hud.data());
  QHudOverlay::hideBusy(&window);
  EXPECT_EQ(QHudOverlay::busyOverlay(&window), nullptr);
  EXPECT_EQ(QHudOverlay::toast(&window), toast);
  processDeferredDeletes();
  EXPECT_TRUE(hud.isNull());
  QHudOverlay::hideBusy(&window);  // nothing left to hide
}

// A toast needs a window and text; it lets clicks through and hides itself after two seconds; a
// newer one replaces it, and the older one's timer firing late leaves the newer alone.
TEST_F(OverlayTest, AToastHidesItselfAfterTwoSecondsAndANewOneReplacesIt) {
  for (const auto& [on, text] : {std::pair<QWidget*, std::optional<QString>>{&window, std::nullopt},
                                 {&window, QString()},
                                 {nullptr, QStringLiteral("x")}})
    EXPECT_EQ(QHudOverlay::showToast(on, text, later), nullptr);
  EXPECT_TRUE(scheduler.tasks->empty());
  QPointer<QProgressHUD> first =
      QHudOverlay::showToast(&window, QStringLiteral("Successfully saved"), later, 2.0);
  EXPECT_TRUE(first->isVisible());
  EXPECT_TRUE(first->testAttribute(Qt::WA_TransparentForMouseEvents));
  EXPECT_EQ(test::toastText(&window), QStringLiteral("Successfully saved"));
  ASSERT_EQ(scheduler.tasks->size(), 1u);
  EXPECT_EQ(scheduler.tasks->at(0).ms, 2000);
  QPointer<QProgressHUD> second = QHudOverlay::showToast(&window, QStringLiteral("two"), later);
  processDeferredDeletes();
  EXPECT_TRUE(first.isNull());
  scheduler.tasks->at(0).run();
  EXPECT_EQ(QHudOverlay::toast(&window), second.data());
  scheduler.tasks->at(1).run();
  EXPECT_EQ(QHudOverlay::toast(&window), nullptr);
  processDeferredDeletes();
  EXPECT_TRUE(second.isNull());
}

}  // namespace
}  // namespace vexhal
