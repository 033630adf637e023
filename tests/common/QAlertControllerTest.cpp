#include <QHBoxLayout>
#include <QMainWindow>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

#include "common/QAlertButton.h"
#include "common/QAlertController.h"
#include "common/QParagraphLabel.h"
#include "common/UiStyle.h"
#include "common/UiTestSupport.h"
#include "extension/QToastView.h"
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

// A dialog built on the heap, as the program makes them (a closed dialog deletes itself).
QPointer<QAlertController> makeAlert(std::optional<QString> title, std::optional<QString> message,
                                     int actionCount, Qt::Alignment alignment = Qt::AlignHCenter,
                                     bool closeButton = false) {
  QPointer<QAlertController> alert = new QAlertController(title, message, alignment, closeButton);
  for (int i = 0; i < actionCount; ++i) {
    alert->addAction(makeAction(QStringLiteral("Action %1").arg(i), Style::grayFilled), true);
  }
  alert->loadViewIfNeeded();
  return alert;
}

QRect frameOf(const QWidget* widget) { return widget->geometry(); }

struct LayoutCase {
  const char* name;
  std::optional<QString> title;
  std::optional<QString> message;
  int actions;
  std::vector<int> insets;    // the top inset of each item
  std::optional<int> height;  // when the dialog's height is fixed by its items
};

class AlertLayoutTest : public testing::TestWithParam<LayoutCase> {};

// The rules every dialog's layout keeps, whatever it holds.
TEST_P(AlertLayoutTest, KeepsTheInsetsOfItsItemsAndButtons) {
  const LayoutCase& c = GetParam();
  QPointer<QAlertController> alert = makeAlert(c.title, c.message, c.actions);
  const int height = alert->height();
  EXPECT_EQ(alert->width(), 260);
  EXPECT_GE(height, 154);
  EXPECT_EQ(alert->minimumSize(), alert->maximumSize());

  QList<QRect> items;
  for (const QAlertItem& item : alert->items()) {
    items.append(frameOf(item.customerView));
  }
  ASSERT_EQ(items.size(), static_cast<int>(c.insets.size()));
  EXPECT_EQ(alert->items().at(0).customerView,
            c.title ? static_cast<QWidget*>(alert->titleLabel()) : alert->messageLabel());
  EXPECT_EQ(alert->messageLabel()->isVisibleTo(alert), c.message.has_value());
  if (c.height) {
    EXPECT_EQ(height, *c.height);
  }
  for (const QRect& frame : items) {
    EXPECT_EQ(frame.left(), 24);
    EXPECT_EQ(frame.width(), 260 - 2 * 24);
  }
  int expectedTop = 0;
  for (int i = 0; i < items.size(); ++i) {
    EXPECT_EQ(alert->items().at(i).contentInset->top, c.insets.at(static_cast<std::size_t>(i)));
    expectedTop += c.insets.at(static_cast<std::size_t>(i));
    EXPECT_EQ(items.at(i).top(), expectedTop) << "item " << i;
    expectedTop = items.at(i).bottom() + 1;
  }
  const int lastBottom = items.isEmpty() ? 0 : items.last().bottom() + 1;
  if (c.actions == 0) {
    EXPECT_FALSE(alert->actionStackView()->isVisibleTo(alert));
    EXPECT_EQ(height - lastBottom, 35);
  } else {
    const QRect row = frameOf(alert->actionStackView());
    EXPECT_EQ(row.height(), 36);
    EXPECT_EQ(height - (row.bottom() + 1), 24);
    if (!items.isEmpty()) {
      EXPECT_EQ(row.top() - lastBottom, 20);
    }
    const int rowWidth = c.actions * 92 + (c.actions - 1) * 20;
    EXPECT_EQ(row.width(), rowWidth);
    EXPECT_EQ(row.left(), (260 - rowWidth) / 2);
    for (const auto& action : alert->actions()) {
      EXPECT_EQ(action->button->size(), QSize(92, 36));
    }
  }
  delete alert;
}

INSTANTIATE_TEST_SUITE_P(
    Dialogs, AlertLayoutTest,
    testing::Values(LayoutCase{"TitleAlone", QStringLiteral("Notice"), std::nullopt, 0, {23}, {}},
                    LayoutCase{"TitleAloneWithActions", QStringLiteral("Notice"), std::nullopt, 2,
                               {23}, {}},
                    LayoutCase{"TitleAndMessage", QStringLiteral("Notice"),
                               QStringLiteral("Settings unsaved. Exit?"), 2, {23, 17}, {}},
                    LayoutCase{"MessageAloneTwoButtons", std::nullopt,
                               QStringLiteral("Reset parameters?"), 2, {44}, 154},
                    LayoutCase{"MessageAloneNoActions", std::nullopt,
                               QStringLiteral("Reset parameters?"), 0, {44}, {}},
                    LayoutCase{"ThreeButtons", std::nullopt, QStringLiteral("Pick one"), 3, {44},
                               154},
                    LayoutCase{"LongMessage", QStringLiteral("Notice"),
                               QStringLiteral("Stopping the update will exit the app, do you "
                                              "confirm the exit? ")
                                   .repeated(6),
                               2, {23, 17}, {}}),
    [](const testing::TestParamInfo<LayoutCase>& p) { return std::string(p.param.name); });

TEST(AlertTest, ALongMessageMakesTheDialogTaller) {
  const QString text = QStringLiteral("Downloading failed. Please try again. ").repeated(8);
  QPointer<QAlertController> alert = makeAlert(std::nullopt, text, 2);
  EXPECT_GT(alert->height(), 154);
  EXPECT_EQ(alert->messageLabel()->height(), alert->messageLabel()->heightForWidth(212));
  delete alert;
}

// Left-aligned messages are spaced wider (12) than centred ones (5).
TEST(AlertTest, LineSpacingAddsToTheWrappedMessagesHeight) {
  const QString text = QStringLiteral("Stopping the update will exit the app, do you confirm the exit?");
  QAlertController left(std::nullopt, text, Qt::AlignLeft);
  QAlertController centred(std::nullopt, text, Qt::AlignHCenter);
  const int leftHeight = left.messageLabel()->heightForWidth(212);
  const int centredHeight = centred.messageLabel()->heightForWidth(212);
  ASSERT_GT(centredHeight, QFontMetrics(centred.messageLabel()->font()).height() + 4) << "wraps";
  EXPECT_GT(leftHeight, centredHeight);
}

// Full-width punctuation and the Chinese category names need a font beyond the Latin ones;
// without it they draw as boxes.
TEST(AlertTest, FullWidthAndChineseTextsHaveEveryGlyph) {
  const QFontMetrics metrics(ui::systemFont(12));
  for (const QString& text :
       {QCameraControlVC::saveQuestionText(), QAboutVC::versionText(QStringLiteral("1.0"), QStringLiteral("v1.0")),
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
TEST(AlertTest, TheFourKNoticeTakesThreeLines) {
  QToastView toast(QCameraFunctionControlVC::fourKNoticeText());
  QParagraphLabel* label = toast.label();
  const QString text = label->text();
  label->setText(QStringLiteral("x"));
  const double line = label->heightForWidth(QToastView::maxWidth) + QToastView::lineSpacing;
  label->setText(text);
  const double height = label->heightForWidth(QToastView::maxWidth) + QToastView::lineSpacing;
  EXPECT_EQ(std::lround(height / line), 3);
}

TEST(AlertTest, ButtonsAppearInTheOrderTheActionsWereAdded) {
  QPointer<QAlertController> alert = new QAlertController(std::nullopt, QStringLiteral("m"));
  const QStringList titles{QStringLiteral("Later"), QStringLiteral("Retry"), QStringLiteral("Help")};
  for (const QString& title : titles) {
    ASSERT_TRUE(alert->addAction(makeAction(title, Style::blueFilled), true));
  }
  alert->loadViewIfNeeded();
  auto* row = qobject_cast<QHBoxLayout*>(alert->actionStackView()->layout());
  ASSERT_NE(row, nullptr);
  ASSERT_EQ(row->count(), 3);
  int previousX = -1;
  for (int i = 0; i < 3; ++i) {
    auto* button = qobject_cast<QPushButton*>(row->itemAt(i)->widget());
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), titles.at(i));
    EXPECT_EQ(button, alert->actions().at(i)->button.data());
    alert->actionStackView()->layout()->activate();
    EXPECT_GT(button->x(), previousX);
    previousX = button->x();
  }
  delete alert;
}

TEST(AlertTest, AnActionWithoutTitleIsRefused) {
  QAlertController alert(std::nullopt, QStringLiteral("m"));
  EXPECT_FALSE(alert.addAction(std::make_shared<QAlertAction>(), true));
  EXPECT_FALSE(alert.addAction(nullptr, true));
  EXPECT_TRUE(alert.actions().isEmpty());
}

TEST(AlertTest, AnActionWithTheCloseFlagClosesBeforeItsHandlerRuns) {
  QPointer<QAlertController> alert = new QAlertController(std::nullopt, QStringLiteral("Reset parameters?"));
  std::vector<bool> closedWhenCalled;
  QAlertAction* received = nullptr;
  auto confirm = makeAction(QStringLiteral("Confirm"), Style::blueFilled, [&](QAlertAction& action) {
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

TEST(AlertTest, AnActionWithoutTheCloseFlagLeavesTheDialogOpen) {
  QPointer<QAlertController> alert = new QAlertController(std::nullopt, QStringLiteral("m"));
  int calls = 0;
  auto retry = makeAction(QStringLiteral("Retry"), Style::blueFilled, [&](QAlertAction&) { ++calls; });
  alert->addAction(retry, false);
  alert->present(nullptr);

  QTest::mouseClick(retry->button, Qt::LeftButton);
  QTest::mouseClick(retry->button, Qt::LeftButton);

  EXPECT_EQ(calls, 2);
  EXPECT_FALSE(alert->isDismissed());
  EXPECT_TRUE(alert->isVisible());
  delete alert;
}

TEST(AlertTest, AnActionWithoutHandlerOnlyCloses) {
  QPointer<QAlertController> alert = new QAlertController(std::nullopt, QStringLiteral("m"));
  auto cancel = makeAction(QStringLiteral("Cancel"), Style::grayFilled);
  alert->addAction(cancel, true);
  alert->present(nullptr);
  QTest::mouseClick(cancel->button, Qt::LeftButton);
  EXPECT_TRUE(alert->isDismissed());
  processDeferredDeletes();
  EXPECT_TRUE(alert.isNull());
}

TEST(AlertTest, ClicksAfterClosingNoLongerReachHandlers) {
  QPointer<QAlertController> alert = new QAlertController(std::nullopt, QStringLiteral("m"));
  int calls = 0;
  auto stay = makeAction(QStringLiteral("Stay"), Style::gray, [&](QAlertAction&) { ++calls; });
  alert->addAction(stay, false);
  alert->present(nullptr);
  alert->dismissController();
  stay->button->click();
  EXPECT_EQ(calls, 0);
  processDeferredDeletes();
  EXPECT_TRUE(alert.isNull());
  EXPECT_TRUE(stay->button.isNull());
}

TEST(AlertTest, ADoubleClickChoosesAnActionOnce) {
  QPointer<QAlertController> alert = new QAlertController(std::nullopt, QStringLiteral("m"));
  int calls = 0;
  auto retry = makeAction(QStringLiteral("Retry"), Style::blue, [&](QAlertAction&) { ++calls; });
  alert->addAction(retry, false);
  alert->present(nullptr);
  QPushButton* button = retry->button;
  QTest::mousePress(button, Qt::LeftButton);
  QTest::mouseRelease(button, Qt::LeftButton);
  QTest::mouseDClick(button, Qt::LeftButton);
  QTest::mouseRelease(button, Qt::LeftButton);
  EXPECT_EQ(calls, 1);
  delete alert;
}

TEST(AlertTest, TheCloseButtonClosesWithoutCallingAnyHandler) {
  QPointer<QAlertController> alert = new QAlertController(QStringLiteral("Notice"),
                                                          QStringLiteral("Settings unsaved. Exit?"),
                                                          Qt::AlignHCenter, true);
  int calls = 0;
  alert->addAction(makeAction(QStringLiteral("Exit"), Style::grayFilled, [&](QAlertAction&) { ++calls; }), true);
  alert->addAction(makeAction(QStringLiteral("Save and Exit"), Style::blueFilled, [&](QAlertAction&) { ++calls; }),
                   true);
  alert->present(nullptr);
  QTest::mouseClick(alert->closeBtn(), Qt::LeftButton);
  EXPECT_TRUE(alert->isDismissed());
  EXPECT_EQ(calls, 0);
  processDeferredDeletes();
  EXPECT_TRUE(alert.isNull());
}

TEST(AlertTest, OnlyADialogAskedForACloseButtonShowsOneAndClosesOnEscape) {
  QPointer<QAlertController> plain = new QAlertController(std::nullopt, QStringLiteral("m"));
  QPointer<QAlertController> closable =
      new QAlertController(std::nullopt, QStringLiteral("m"), Qt::AlignHCenter, true);
  plain->present(nullptr);
  closable->present(nullptr);
  EXPECT_FALSE(plain->closeBtn()->isVisible());
  EXPECT_TRUE(closable->closeBtn()->isVisible());
  QTest::keyClick(plain.data(), Qt::Key_Escape);
  QTest::keyClick(closable.data(), Qt::Key_Escape);
  EXPECT_FALSE(plain->isDismissed());
  EXPECT_TRUE(closable->isDismissed());
  delete plain;
  processDeferredDeletes();
}

// Escape chooses the action that only closes, and the keyboard starts there; a dialog without
// one starts on no button, so neither Escape nor Enter acts.
TEST(AlertTest, EscapeAndEnterNeverChooseAnActionThatActs) {
  for (const bool withCancel : {true, false}) {
    for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
      QWidget window;
      window.show();
      QPointer<QAlertController> alert = new QAlertController(std::nullopt, QStringLiteral("m"));
      int acted = 0;
      auto cancel = makeAction(QStringLiteral("Cancel"), Style::grayFilled);
      if (withCancel) alert->addAction(cancel, true);
      alert->addAction(makeAction(QStringLiteral("Exit"), Style::red, [&](QAlertAction&) { ++acted; }), true);
      alert->addAction(makeAction(QStringLiteral("Confirm"), Style::blueFilled, [&](QAlertAction&) { ++acted; }),
                       true);
      alert->present(&window);
      EXPECT_EQ(alert->focusWidget(), withCancel ? static_cast<QWidget*>(cancel->button) : alert.data());
      QTest::keyClick(alert.data(), key);
      EXPECT_EQ(acted, 0) << withCancel << key;
      EXPECT_EQ(alert->isDismissed(), withCancel) << key;
      delete alert;
    }
  }
}

TEST(AlertTest, TheCloseButtonShowsAFocusMarkWhenTabbedTo) {
  QWidget window;
  window.show();
  QPointer<QAlertController> alert =
      new QAlertController(std::nullopt, QStringLiteral("m"), Qt::AlignHCenter, true);
  alert->addAction(makeAction(QStringLiteral("Exit"), Style::grayFilled, [](QAlertAction&) {}), true);
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
  delete alert;
}

TEST(AlertTest, PresentingMakesItWindowModalOverTheAskingWindow) {
  QMainWindow window;
  auto* screen = new QWidget;
  window.setCentralWidget(screen);
  window.show();
  QPointer<QAlertController> alert = new QAlertController(std::nullopt, QStringLiteral("m"));
  alert->present(screen);
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

TEST(AlertTest, ADialogDestroyedByItsOwnerTakesTheDimmingAlong) {
  QWidget window;
  window.show();
  auto* alert = new QAlertController(std::nullopt, QStringLiteral("m"));
  alert->present(&window);
  QPointer<QWidget> scrim = alert->scrim();
  ASSERT_FALSE(scrim.isNull());
  delete alert;
  EXPECT_TRUE(scrim.isNull());
}

TEST(AlertActionTest, RawValuesZeroToFiveAreTheStyles) {
  for (int raw = 0; raw <= 5; ++raw) {
    ASSERT_TRUE(QAlertAction::styleFromRaw(raw).has_value()) << raw;
    EXPECT_EQ(static_cast<int>(*QAlertAction::styleFromRaw(raw)), raw);
  }
}

TEST(AlertActionTest, RawValuesOutsideZeroToFiveGiveNoStyle) {
  for (const int raw : {-1, 6, 42}) {
    EXPECT_FALSE(QAlertAction::styleFromRaw(raw).has_value()) << raw;
  }
}

TEST(AlertActionTest, AStyleFontReplacesTheActionsFontAndOthersKeepIt) {
  QFont actionFont = ui::systemFont(17);
  QAlertButton filled(QStringLiteral("x"), QAlertAction::look(Style::blueFilled), actionFont);
  QAlertButton clear(QStringLiteral("x"), QAlertAction::look(Style::red), actionFont);
  EXPECT_EQ(filled.font().pixelSize(), 12);
  EXPECT_EQ(filled.font().weight(), QFont::Medium);
  EXPECT_EQ(clear.font().pixelSize(), 17);
}

}  // namespace
}  // namespace vexhal
