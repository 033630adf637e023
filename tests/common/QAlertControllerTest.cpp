#include <QMainWindow>
#include <QSignalSpy>

#include "common/QSheetOverlay.h"
#include "common/UiStyle.h"
#include "common/UiTestSupport.h"
#include "section/about/QAboutVC.h"
#include "section/camera_control/QCameraControlVC.h"
#include "section/camera_list/QCameraDeviceType.h"

namespace vexhal {
namespace {

using Style = QAlertAction::QAlertActionStyle;
using test::processDeferredDeletes;

// A dialog on the heap, as the program makes them (a closed dialog deletes itself), with actions
// that count their calls.
struct AlertTest : testing::Test {
  ~AlertTest() override {
    delete alert;
    processDeferredDeletes();
  }
  QAlertController* make(std::optional<QString> title = std::nullopt,
                         const QString& message = QStringLiteral("m"), bool closeButton = false) {
    alert = new QAlertController(std::move(title), message, Qt::AlignHCenter, closeButton);
    return alert;
  }
  std::shared_ptr<QAlertAction> add(const QString& title, bool closes, bool counts = true,
                                    Style style = Style::blueFilled) {
    auto action = std::make_shared<QAlertAction>(
        title, style, ui::systemFont(12),
        counts ? QAlertAction::Handler([this](QAlertAction&) { ++calls; }) : nullptr);
    alert->addAction(action, closes);
    return action;
  }

  QPointer<QAlertController> alert;
  int calls = 0;
};

// Full-width punctuation and the Chinese texts have every glyph in the dialog's font (else they
// draw as boxes).
TEST_F(AlertTest, TextsHaveEveryGlyphInTheDialogsFont) {
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

// A closing action closes before its handler runs (which gets the action), once; one that does
// not close runs for each click, but once for a double click; the close button closes without
// calling any handler, and clicks after closing reach none. An action without a title is refused.
TEST_F(AlertTest, ClicksCloseOrStayAsTheActionSays) {
  const struct {
    bool closes, handler, closeButton, doubleClick;
    int clicks, calls;
  } rows[] = {{true, true, false, false, 1, 1},
              {false, true, false, false, 2, 2},
              {false, true, false, true, 1, 1},
              {true, false, false, false, 1, 0},
              {false, true, true, false, 1, 0}};
  for (const auto& c : rows) {
    SCOPED_TRACE(static_cast<int>(&c - rows));
    make(QStringLiteral("Notice"), QStringLiteral("Settings unsaved. Exit?"), c.closeButton);
    EXPECT_FALSE(alert->addAction(nullptr, true));
    EXPECT_FALSE(alert->addAction(std::make_shared<QAlertAction>(), true));
    std::vector<bool> closedWhenCalled;
    std::shared_ptr<QAlertAction> action = std::make_shared<QAlertAction>(
        QStringLiteral("Confirm"), Style::blueFilled, ui::systemFont(12),
        c.handler ? QAlertAction::Handler([&](QAlertAction& received) {
          closedWhenCalled.push_back(alert->isDismissed() && alert->isHidden());
          EXPECT_EQ(&received, action.get());
        })
                  : nullptr);
    alert->addAction(action, c.closes);
    add(QStringLiteral("Exit"), true);
    QSignalSpy dismissed(alert.data(), &QAlertController::dismissed);
    alert->present(nullptr);
    QWidget* target = c.closeButton ? static_cast<QWidget*>(alert->closeBtn()) : action->button;
    for (int i = 0; i < c.clicks; ++i) QTest::mouseClick(target, Qt::LeftButton);
    if (c.doubleClick) {
      QTest::mouseDClick(target, Qt::LeftButton);
      QTest::mouseRelease(target, Qt::LeftButton);
    }
    const bool closes = c.closes || c.closeButton;
    if (closes) action->button->click();
    EXPECT_EQ(closedWhenCalled, std::vector<bool>(static_cast<std::size_t>(c.calls), c.closes));
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(dismissed.count(), closes ? 1 : 0);
    processDeferredDeletes();
    EXPECT_EQ(alert.isNull(), closes);
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

// The dialog is drawn inside the asking window, centred over its dimmed content, which takes no
// clicks and no Tab while the dialog is up; the layer goes when the dialog closes or its owner
// destroys it, and the keyboard returns to where it was.
TEST_F(AlertTest, PresentingLaysTheDialogInsideTheWindowAndBlocksWhatIsBelow) {
  QMainWindow window;
  auto* screen = new QWidget;
  auto* below = new QPushButton(QStringLiteral("below"), screen);
  int belowClicks = 0;
  QObject::connect(below, &QPushButton::clicked, [&] { ++belowClicks; });
  window.setCentralWidget(screen);
  window.resize(600, 400);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  below->setFocus();
  for (const bool ownerDestroys : {false, true}) {
    make();
    add(QStringLiteral("Cancel"), true, false, Style::grayFilled);
    add(QStringLiteral("Confirm"), true);
    alert->present(screen);
    QPointer<QSheetOverlay> overlay = alert->overlay();
    ASSERT_FALSE(overlay.isNull());
    EXPECT_FALSE(alert->isWindow());
    EXPECT_EQ(overlay->geometry(), window.rect());
    EXPECT_EQ(overlay->dimming(), QSheetOverlay::color());
    EXPECT_EQ(
        alert->geometry(),
        QRect(QPoint((600 - alert->width()) / 2, (400 - alert->height()) / 2), alert->size()));
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {},
                      below->mapTo(&window, below->rect().center()));
    for (int i = 0; i < 3; ++i) QTest::keyClick(window.focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(belowClicks, 0);
    EXPECT_TRUE(alert->isAncestorOf(window.focusWidget()));
    if (ownerDestroys) {
      delete alert;
    } else {
      alert->dismissController();
    }
    EXPECT_TRUE(overlay.isNull() || overlay->isHidden());
    EXPECT_EQ(window.focusWidget(), below);
    processDeferredDeletes();
    EXPECT_TRUE(overlay.isNull());
  }
  QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {},
                    below->mapTo(&window, below->rect().center()));
  EXPECT_EQ(belowClicks, 1);
}

}  // namespace
}  // namespace vexhal
