#include <QHBoxLayout>
#include <QMainWindow>
#include <QSignalSpy>

#include <cmath>

#include "common/UiStyle.h"
#include "common/UiTestSupport.h"
#include "section/about/QAboutVC.h"
#include "section/camera_control/QCameraControlVC.h"
#include "section/camera_control/QCameraFunctionControlVC.h"
#include "section/camera_list/QCameraDeviceType.h"

namespace vexhal {
namespace {

using Style = QAlertAction::QAlertActionStyle;
using test::processDeferredDeletes;

std::shared_ptr<QAlertAction> makeAction(const QString& title, Style style,
                                         QAlertAction::Handler handler = nullptr) {
  return std::make_shared<QAlertAction>(title, style, ui::systemFont(12), std::move(handler));
}

// A dialog on the heap, as the program makes them (a closed dialog deletes itself), with actions
// that count their calls.
struct AlertTest : testing::Test {
  ~AlertTest() override {
    delete alert;
    processDeferredDeletes();
  }
  QAlertController* make(std::optional<QString> title = std::nullopt,
                         const QString& message = QStringLiteral("m"), bool closeButton = false,
                         Qt::Alignment alignment = Qt::AlignHCenter) {
    alert = new QAlertController(std::move(title), message, alignment, closeButton);
    return alert;
  }
  std::shared_ptr<QAlertAction> add(const QString& title, bool closes, bool counts = true,
                                    Style style = Style::blueFilled) {
    auto action = makeAction(
        title, style, counts ? QAlertAction::Handler([this](QAlertAction&) { ++calls; }) : nullptr);
    alert->addAction(action, closes);
    return action;
  }

  QPointer<QAlertController> alert;
  int calls = 0;
};

// Whatever a dialog holds: a fixed size, its items top to bottom, its buttons in one centred row
// below them, the message label only with a message.
TEST_F(AlertTest, ItemsAndButtonsStackWithoutOverlapInAFixedSize) {
  const QString longText =
      QStringLiteral("Stopping the update will exit the app, do you confirm the exit? ")
          .repeated(6);
  for (const auto& [title, message, actions] :
       {std::tuple<std::optional<QString>, std::optional<QString>, int>{QStringLiteral("Notice"),
                                                                        std::nullopt, 0},
        {QStringLiteral("Notice"), QStringLiteral("Settings unsaved. Exit?"), 2},
        {std::nullopt, QStringLiteral("Reset parameters?"), 3},
        {QStringLiteral("Notice"), longText, 2}}) {
    delete alert;
    alert = new QAlertController(title, message);
    for (int i = 0; i < actions; ++i) add(QStringLiteral("Action %1").arg(i), true);
    alert->loadViewIfNeeded();
    EXPECT_EQ(alert->minimumSize(), alert->maximumSize());
    EXPECT_EQ(alert->messageLabel()->isVisibleTo(alert), message.has_value());
    int bottom = 0;
    for (const QAlertItem& item : alert->items()) {
      EXPECT_GE(item.customerView->y(), bottom);
      bottom = item.customerView->geometry().bottom();
    }
    const QRect row = alert->actionStackView()->geometry();
    EXPECT_EQ(alert->actionStackView()->isVisibleTo(alert), actions > 0);
    if (actions > 0) {
      EXPECT_GT(row.top(), bottom);
      EXPECT_LE(row.bottom(), alert->height());
      EXPECT_LE(std::abs(row.center().x() - alert->width() / 2), 1);
    }
  }
}

TEST_F(AlertTest, ALongMessageMakesTheDialogTaller) {
  make(std::nullopt, QStringLiteral("Reset parameters?"));
  add(QStringLiteral("Cancel"), true);
  alert->loadViewIfNeeded();
  const int shortHeight = alert->height();
  make(std::nullopt, QStringLiteral("Downloading failed. Please try again. ").repeated(8));
  add(QStringLiteral("Cancel"), true);
  alert->loadViewIfNeeded();
  EXPECT_GT(alert->height(), shortHeight);
  EXPECT_EQ(alert->messageLabel()->height(),
            alert->messageLabel()->heightForWidth(alert->messageLabel()->width()));
}

// Left-aligned messages are spaced wider than centred ones.
TEST_F(AlertTest, LineSpacingAddsToTheWrappedMessagesHeight) {
  const QString text =
      QStringLiteral("Stopping the update will exit the app, do you confirm the exit?");
  QAlertController left(std::nullopt, text, Qt::AlignLeft);
  QAlertController centred(std::nullopt, text, Qt::AlignHCenter);
  const int centredHeight = centred.messageLabel()->heightForWidth(212);
  ASSERT_GT(centredHeight, QFontMetrics(centred.messageLabel()->font()).height() + 4) << "wraps";
  EXPECT_GT(left.messageLabel()->heightForWidth(212), centredHeight);
}

// Full-width punctuation and the Chinese category names need a font beyond the Latin ones;
// without it they draw as boxes.
TEST_F(AlertTest, FullWidthAndChineseTextsHaveEveryGlyph) {
  const QFontMetrics metrics(ui::systemFont(12));
  for (const QString& text : {QCameraControlVC::saveQuestionText(),
                              QAboutVC::versionText(QStringLiteral("1.0"), QStringLiteral("v1.0")),
                              rawValue(QCameraDeviceType::usb), rawValue(QCameraDeviceType::offset),
                              rawValue(QCameraDeviceType::terminal)}) {
    QString missing;
    for (const char32_t c : text.toUcs4()) {
      if (!metrics.inFontUcs4(c)) missing += QString::fromUcs4(&c, 1);
    }
    EXPECT_EQ(missing.toStdString(), "") << text.toStdString();
  }
}

// Each newline of a toast or message starts a line of its own.
TEST_F(AlertTest, TheFourKNoticeTakesThreeLines) {
  QToastView toast(QCameraFunctionControlVC::fourKNoticeText());
  QParagraphLabel* label = toast.label();
  const QString text = label->text();
  label->setText(QStringLiteral("x"));
  const double line = label->heightForWidth(QToastView::maxWidth) + QToastView::lineSpacing;
  label->setText(text);
  const double height = label->heightForWidth(QToastView::maxWidth) + QToastView::lineSpacing;
  EXPECT_EQ(std::lround(height / line), 3);
}

TEST_F(AlertTest, ButtonsAppearInTheOrderTheActionsWereAdded) {
  make();
  const QStringList titles{QStringLiteral("Later"), QStringLiteral("Retry"),
                           QStringLiteral("Help")};
  for (const QString& title : titles) add(title, true);
  alert->loadViewIfNeeded();
  auto* row = qobject_cast<QHBoxLayout*>(alert->actionStackView()->layout());
  ASSERT_EQ(row->count(), 3);
  row->activate();
  int previousX = -1;
  for (int i = 0; i < 3; ++i) {
    auto* button = qobject_cast<QPushButton*>(row->itemAt(i)->widget());
    EXPECT_EQ(button->text(), titles.at(i));
    EXPECT_EQ(button, alert->actions().at(i)->button.data());
    EXPECT_GT(button->x(), previousX);
    previousX = button->x();
  }
}

TEST_F(AlertTest, AnActionWithoutTitleIsRefused) {
  make();
  EXPECT_FALSE(alert->addAction(std::make_shared<QAlertAction>(), true));
  EXPECT_FALSE(alert->addAction(nullptr, true));
  EXPECT_TRUE(alert->actions().isEmpty());
}

TEST_F(AlertTest, AnActionWithTheCloseFlagClosesBeforeItsHandlerRuns) {
  make(std::nullopt, QStringLiteral("Reset parameters?"));
  std::vector<bool> closedWhenCalled;
  QAlertAction* received = nullptr;
  auto confirm =
      makeAction(QStringLiteral("Confirm"), Style::blueFilled, [&](QAlertAction& action) {
        closedWhenCalled.push_back(alert->isDismissed() && alert->isHidden());
        received = &action;
      });
  alert->addAction(confirm, true);
  QSignalSpy dismissed(alert.data(), &QAlertController::dismissed);
  alert->present(nullptr);
  QTest::mouseClick(confirm->button, Qt::LeftButton);
  EXPECT_EQ(closedWhenCalled, std::vector<bool>{true});
  EXPECT_EQ(received, confirm.get());
  EXPECT_EQ(dismissed.count(), 1);
  processDeferredDeletes();
  EXPECT_TRUE(alert.isNull());
}

TEST_F(AlertTest, AnActionWithoutTheCloseFlagLeavesTheDialogOpen) {
  make();
  auto retry = add(QStringLiteral("Retry"), false);
  alert->present(nullptr);
  QTest::mouseClick(retry->button, Qt::LeftButton);
  QTest::mouseClick(retry->button, Qt::LeftButton);
  EXPECT_EQ(calls, 2);
  EXPECT_FALSE(alert->isDismissed());
  EXPECT_TRUE(alert->isVisible());
}

TEST_F(AlertTest, AnActionWithoutHandlerOnlyCloses) {
  make();
  auto cancel = add(QStringLiteral("Cancel"), true, false);
  alert->present(nullptr);
  QTest::mouseClick(cancel->button, Qt::LeftButton);
  EXPECT_TRUE(alert->isDismissed());
  processDeferredDeletes();
  EXPECT_TRUE(alert.isNull());
}

TEST_F(AlertTest, ClicksAfterClosingNoLongerReachHandlers) {
  make();
  auto stay = add(QStringLiteral("Stay"), false);
  alert->present(nullptr);
  alert->dismissController();
  stay->button->click();
  EXPECT_EQ(calls, 0);
  processDeferredDeletes();
  EXPECT_TRUE(alert.isNull());
  EXPECT_TRUE(stay->button.isNull());
}

TEST_F(AlertTest, ADoubleClickChoosesAnActionOnce) {
  make();
  QPushButton* button = add(QStringLiteral("Retry"), false)->button;
  alert->present(nullptr);
  QTest::mousePress(button, Qt::LeftButton);
  QTest::mouseRelease(button, Qt::LeftButton);
  QTest::mouseDClick(button, Qt::LeftButton);
  QTest::mouseRelease(button, Qt::LeftButton);
  EXPECT_EQ(calls, 1);
}

TEST_F(AlertTest, TheCloseButtonClosesWithoutCallingAnyHandler) {
  make(QStringLiteral("Notice"), QStringLiteral("Settings unsaved. Exit?"), true);
  add(QStringLiteral("Exit"), true);
  add(QStringLiteral("Save and Exit"), true);
  alert->present(nullptr);
  QTest::mouseClick(alert->closeBtn(), Qt::LeftButton);
  EXPECT_TRUE(alert->isDismissed());
  EXPECT_EQ(calls, 0);
  processDeferredDeletes();
  EXPECT_TRUE(alert.isNull());
}

TEST_F(AlertTest, OnlyADialogAskedForACloseButtonShowsOneAndClosesOnEscape) {
  for (const bool closable : {false, true}) {
    make(std::nullopt, QStringLiteral("m"), closable)->present(nullptr);
    EXPECT_EQ(alert->closeBtn()->isVisible(), closable);
    QTest::keyClick(alert.data(), Qt::Key_Escape);
    EXPECT_EQ(alert->isDismissed(), closable);
    delete alert;
  }
}

// Escape chooses the action that only closes, and the keyboard starts there; a dialog without
// one starts on no button, so neither Escape nor Enter acts.
TEST_F(AlertTest, EscapeAndEnterNeverChooseAnActionThatActs) {
  for (const bool withCancel : {true, false}) {
    for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
      QWidget window;
      window.show();
      make();
      auto cancel =
          withCancel ? add(QStringLiteral("Cancel"), true, false, Style::grayFilled) : nullptr;
      add(QStringLiteral("Exit"), true, true, Style::red);
      add(QStringLiteral("Confirm"), true);
      alert->present(&window);
      EXPECT_EQ(alert->focusWidget(),
                withCancel ? static_cast<QWidget*>(cancel->button) : alert.data());
      QTest::keyClick(alert.data(), key);
      EXPECT_EQ(calls, 0) << withCancel << key;
      EXPECT_EQ(alert->isDismissed(), withCancel) << key;
      delete alert;
    }
  }
}

TEST_F(AlertTest, TheCloseButtonShowsAFocusMarkWhenTabbedTo) {
  QWidget window;
  window.show();
  make(std::nullopt, QStringLiteral("m"), true);
  add(QStringLiteral("Exit"), true);
  alert->present(&window);
  ASSERT_TRUE(QTest::qWaitForWindowActive(alert.data()));
  const auto markPixels = [&] {
    const QImage image = alert->closeBtn()->grab().toImage();
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) count += image.pixelColor(x, y) == ui::blue() ? 1 : 0;
    }
    return count;
  };
  EXPECT_EQ(markPixels(), 0);
  QTest::keyClick(alert.data(), Qt::Key_Tab);
  ASSERT_TRUE(alert->closeBtn()->hasFocus());
  EXPECT_GT(markPixels(), 0);
}

TEST_F(AlertTest, PresentingMakesItWindowModalOverTheAskingWindow) {
  QMainWindow window;
  auto* screen = new QWidget;
  window.setCentralWidget(screen);
  window.show();
  make()->present(screen);
  EXPECT_EQ(alert->parentWidget(), &window);
  EXPECT_EQ(alert->windowModality(), Qt::WindowModal);
  EXPECT_TRUE(alert->isWindow());
  EXPECT_TRUE(alert->isVisible());
  // The asking window is dimmed while it waits, and no longer once the dialog has closed.
  QPointer<QWidget> scrim = alert->scrim();
  ASSERT_FALSE(scrim.isNull());
  EXPECT_EQ(scrim->parentWidget(), &window);
  EXPECT_EQ(scrim->geometry(), window.rect());
  EXPECT_TRUE(scrim->isVisible());
  alert->dismissController();
  EXPECT_TRUE(scrim.isNull());
  processDeferredDeletes();
  EXPECT_TRUE(alert.isNull());
}

TEST_F(AlertTest, ADialogDestroyedByItsOwnerTakesTheDimmingAlong) {
  QWidget window;
  window.show();
  make()->present(&window);
  QPointer<QWidget> scrim = alert->scrim();
  ASSERT_FALSE(scrim.isNull());
  delete alert;
  EXPECT_TRUE(scrim.isNull());
}

}  // namespace
}  // namespace vexhal
