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

const QString kExitQuestion =
    QStringLiteral("Stopping the update will exit the app, do you confirm the exit? ");

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
// below them in the order they were added, the message label only with a message and as tall as
// its wrapped text (a long message makes the dialog taller).
TEST_F(AlertTest, ItemsAndButtonsStackWithoutOverlapInAFixedSize) {
  const QString longText = kExitQuestion.repeated(6);
  using Row = std::tuple<std::optional<QString>, std::optional<QString>, int>;
  int previousHeight = 0;
  for (const auto& [title, message, actions] :
       {Row{"Notice", std::nullopt, 0}, Row{"Notice", "Settings unsaved. Exit?", 2},
        Row{std::nullopt, "Reset parameters?", 3}, Row{std::nullopt, longText, 3}}) {
    delete alert;
    alert = new QAlertController(title, message);
    for (int i = 0; i < actions; ++i) add(QStringLiteral("Action %1").arg(i), true);
    alert->loadViewIfNeeded();
    EXPECT_EQ(alert->minimumSize(), alert->maximumSize());
    EXPECT_EQ(alert->messageLabel()->isVisibleTo(alert), message.has_value());
    if (message == longText) {
      EXPECT_GT(alert->height(), previousHeight);
      EXPECT_EQ(alert->messageLabel()->height(),
                alert->messageLabel()->heightForWidth(alert->messageLabel()->width()));
    }
    previousHeight = alert->height();
    int bottom = 0;
    for (const QAlertItem& item : alert->items()) {
      EXPECT_GE(item.customerView->y(), bottom);
      bottom = item.customerView->geometry().bottom();
    }
    const QRect row = alert->actionStackView()->geometry();
    EXPECT_EQ(alert->actionStackView()->isVisibleTo(alert), actions > 0);
    if (actions == 0) continue;
    EXPECT_GT(row.top(), bottom);
    EXPECT_LE(row.bottom(), alert->height());
    EXPECT_LE(std::abs(row.center().x() - alert->width() / 2), 1);
    auto* layout = qobject_cast<QHBoxLayout*>(alert->actionStackView()->layout());
    ASSERT_EQ(layout->count(), actions);
    layout->activate();
    int previousX = -1;
    for (int i = 0; i < actions; ++i) {
      auto* button = qobject_cast<QPushButton*>(layout->itemAt(i)->widget());
      EXPECT_EQ(button->text(), QStringLiteral("Action %1").arg(i));
      EXPECT_EQ(button, alert->actions().at(i)->button.data());
      EXPECT_GT(button->x(), previousX);
      previousX = button->x();
    }
  }
}

// Left-aligned messages are spaced wider than centred ones.
TEST_F(AlertTest, LineSpacingAddsToTheWrappedMessagesHeight) {
  QAlertController left(std::nullopt, kExitQuestion, Qt::AlignLeft);
  QAlertController centred(std::nullopt, kExitQuestion, Qt::AlignHCenter);
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
    for (const char32_t c : text.toUcs4())
      if (!metrics.inFontUcs4(c)) missing += QString::fromUcs4(&c, 1);
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

TEST_F(AlertTest, AnActionWithoutTitleIsRefused) {
  make();
  EXPECT_FALSE(alert->addAction(std::make_shared<QAlertAction>(), true));
  EXPECT_FALSE(alert->addAction(nullptr, true));
  EXPECT_TRUE(alert->actions().isEmpty());
}

struct ClickCase {
  const char* name;
  bool closes;       // the action's close flag
  bool handler;      // the action has a handler
  bool closeButton;  // the click goes to the dialog's close button instead
  int clicks;
  int calls;  // handler calls expected
};

class AlertClicks : public AlertTest, public testing::WithParamInterface<ClickCase> {};

// A closing action closes before its handler runs (which gets the action), once; one that does
// not close runs each time; the close button closes without calling any handler.
TEST_P(AlertClicks, CloseOrStayAsTheActionSays) {
  const ClickCase& c = GetParam();
  make(QStringLiteral("Notice"), QStringLiteral("Settings unsaved. Exit?"), c.closeButton);
  std::vector<bool> closedWhenCalled;
  std::shared_ptr<QAlertAction> action =
      makeAction(QStringLiteral("Confirm"), Style::blueFilled,
                 c.handler ? QAlertAction::Handler([&](QAlertAction& received) {
                   closedWhenCalled.push_back(alert->isDismissed() && alert->isHidden());
                   EXPECT_EQ(&received, action.get());
                 })
                           : nullptr);
  alert->addAction(action, c.closes);
  add(QStringLiteral("Exit"), true);
  QSignalSpy dismissed(alert.data(), &QAlertController::dismissed);
  alert->present(nullptr);
  for (int i = 0; i < c.clicks; ++i) {
    QTest::mouseClick(c.closeButton ? static_cast<QWidget*>(alert->closeBtn())
                                    : static_cast<QWidget*>(action->button.data()),
                      Qt::LeftButton);
  }
  EXPECT_EQ(closedWhenCalled, std::vector<bool>(static_cast<std::size_t>(c.calls), c.closes));
  EXPECT_EQ(calls, 0);
  const bool closes = c.closes || c.closeButton;
  EXPECT_EQ(dismissed.count(), closes ? 1 : 0);
  EXPECT_EQ(alert->isVisible(), !closes);
  processDeferredDeletes();
  EXPECT_EQ(alert.isNull(), closes);
}

INSTANTIATE_TEST_SUITE_P(Actions, AlertClicks,
                         testing::Values(ClickCase{"CloseFlag", true, true, false, 1, 1},
                                         ClickCase{"NoCloseFlag", false, true, false, 2, 2},
                                         ClickCase{"NoHandler", true, false, false, 1, 0},
                                         ClickCase{"CloseButton", false, true, true, 1, 0}),
                         [](const testing::TestParamInfo<ClickCase>& param) {
                           return param.param.name;
                         });

// A double click chooses an action once; clicks after closing reach no handler.
TEST_F(AlertTest, ADoubleClickChoosesOnceAndClicksAfterClosingNothing) {
  make();
  auto stay = add(QStringLiteral("Stay"), false);
  QPushButton* button = stay->button;
  alert->present(nullptr);
  QTest::mousePress(button, Qt::LeftButton);
  QTest::mouseRelease(button, Qt::LeftButton);
  QTest::mouseDClick(button, Qt::LeftButton);
  QTest::mouseRelease(button, Qt::LeftButton);
  EXPECT_EQ(calls, 1);
  alert->dismissController();
  button->click();
  EXPECT_EQ(calls, 1);
  processDeferredDeletes();
  EXPECT_TRUE(alert.isNull());
  EXPECT_TRUE(stay->button.isNull());
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

TEST_F(AlertTest, OnlyADialogAskedForACloseButtonShowsOneAndClosesOnEscape) {
  for (const bool closable : {false, true}) {
    make(std::nullopt, QStringLiteral("m"), closable)->present(nullptr);
    EXPECT_EQ(alert->closeBtn()->isVisible(), closable);
    QTest::keyClick(alert.data(), Qt::Key_Escape);
    EXPECT_EQ(alert->isDismissed(), closable);
    delete alert;
  }
}

TEST_F(AlertTest, TheCloseButtonShowsAFocusMarkWhenTabbedTo) {
  QWidget window;
  window.show();
  make(std::nullopt, QStringLiteral("m"), true);
  add(QStringLiteral("Exit"), true);
  alert->present(&window);
  ASSERT_TRUE(QTest::qWaitForWindowActive(alert.data()));
  const auto marked = [&] {
    const QImage image = alert->closeBtn()->grab().toImage();
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        if (image.pixelColor(x, y) == ui::blue()) return true;
    return false;
  };
  EXPECT_FALSE(marked());
  QTest::keyClick(alert.data(), Qt::Key_Tab);
  ASSERT_TRUE(alert->closeBtn()->hasFocus());
  EXPECT_TRUE(marked());
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
  // A dialog destroyed by its owner takes the dimming along.
  make()->present(&window);
  scrim = alert->scrim();
  ASSERT_FALSE(scrim.isNull());
  delete alert;
  EXPECT_TRUE(scrim.isNull());
}

}  // namespace
}  // namespace vexhal
