// The preview session's capture lifecycle on the virtual camera's capture backend, and the
// capture-device search under it.
#include <QThread>

#include <atomic>

#include "../ScreenTestSupport.h"
#include "section/camera_control/CaptureDeviceSearch.h"
#include "section/camera_control/PreviewSession.h"
#include "video/preview/QVideoRenderView.h"

namespace vexhal {
namespace {

using namespace std::chrono_literals;
using test::settle;
using test::waitUntil;

// The virtual camera's capture side, its video device hidden on demand as if only the camera's
// video interface were unplugged.
struct HidingBackend : video::CaptureBackend {
  explicit HidingBackend(std::shared_ptr<video::CaptureBackend> from) : inner(std::move(from)) {}
  std::vector<video::CaptureDevice> devices() override {
    ++listings;
    return hidden ? std::vector<video::CaptureDevice>{} : inner->devices();
  }
  std::vector<video::CaptureFormat> formats(const video::CaptureDevice& d) override {
    return inner->formats(d);
  }
  std::uint32_t preferredOutputPixelFormat() const override {
    return inner->preferredOutputPixelFormat();
  }
  void start(const video::CaptureDevice& d, const video::CaptureFormat& f, double fps,
             video::CaptureSink sink, video::CaptureCompletion done) override {
    inner->start(d, f, fps, std::move(sink), std::move(done));
  }
  void stop(video::CaptureCompletion done) override { inner->stop(std::move(done)); }

  std::atomic<bool> hidden{false};
  std::atomic<int> listings{0};
  std::shared_ptr<video::CaptureBackend> inner;
};

// A session on the plugged virtual camera, restarted on each retry as the control screen does,
// with a preview to render into and the notices it gave.
struct SessionTest : ::testing::Test {
  SessionTest() {
    session.setRetryInterval(10ms);
    QObject::connect(&session, &PreviewSession::retryDue, [this] { start(); });
    QObject::connect(&session, &PreviewSession::noticeChanged,
                     [this](const QString& notice) { notices.push_back(notice); });
  }
  void start() { session.start(view.renderView()->handle()); }

  test::Cameras cam;
  std::shared_ptr<HidingBackend> backend = std::make_shared<HidingBackend>(cam.capture);
  video::QVideoRenderView view;
  PreviewSession session{backend, cam.device ? cam.device->locationID() : -1};
  std::vector<QString> notices;
};

// The session retries while the video device is missing and starts when it appears; a capture
// cut off by the camera starts again when the camera returns.
TEST_F(SessionTest, RetriesUntilTheVideoDeviceIsThereAndAfterTheCameraLeft) {
  backend->hidden = true;
  start();
  ASSERT_TRUE(waitUntil([&] { return backend->listings >= 3; }));
  EXPECT_FALSE(session.isCapturing());
  EXPECT_EQ(session.framesRendered(), 0u);
  backend->hidden = false;
  ASSERT_TRUE(waitUntil([&] { return session.framesRendered() > 0; }));
  cam.first.unplug();
  ASSERT_TRUE(waitUntil([&] { return !session.isCapturing(); }));
  settle();
  const std::uint64_t before = session.framesRendered();
  cam.first.plug();
  ASSERT_TRUE(
      waitUntil([&] { return session.isCapturing() && session.framesRendered() > before; }));
  session.stop();
  EXPECT_FALSE(session.isCapturing());
}

// A stop overtakes the search in flight: its answer starts nothing, and no retry follows.
TEST_F(SessionTest, AStopOvertakesTheSearchInFlight) {
  start();
  session.stop();
  ASSERT_TRUE(waitUntil([&] { return backend->listings > 0; }));
  settle();  // the search's answer arrives
  EXPECT_FALSE(session.isCapturing());
  EXPECT_EQ(backend->listings, 1);
  EXPECT_TRUE(notices.empty());
}

// Lists devices as a backend would, noting the thread it is asked on.
struct ListingBackend : HidingBackend {
  ListingBackend() : HidingBackend(nullptr) {}
  std::vector<video::CaptureDevice> devices() override {
    thread = QThread::currentThread()->objectName();
    return {{"0x3152000b206b215", "other", "", "/dev/video4"},
            {"0x3142000b206b215", "ours", "", "/dev/video2"}};
  }
  QString thread;
};

TEST(CaptureDeviceSearchTest, FindsThePairedDeviceOnItsOwnThreadAndAnswersOnTheCallers) {
  auto backend = std::make_shared<ListingBackend>();
  std::vector<std::optional<std::string>> answers;
  QThread* answeredOn = nullptr;
  {
    CaptureDeviceSearch search(backend);
    for (const std::int64_t location : {0x03142000, 0x03162000}) {
      search.find(location, [&](const auto& device) {
        answers.push_back(device ? std::optional(device->name) : std::nullopt);
        answeredOn = QThread::currentThread();
      });
    }
    ASSERT_TRUE(waitUntil([&] { return answers.size() == 2; }));
    search.find(0x03142000, [&](const auto&) { answers.push_back("late"); });
  }
  settle();  // the search is gone: its last answer is dropped
  EXPECT_EQ(answers, (std::vector<std::optional<std::string>>{"ours", std::nullopt}));
  EXPECT_EQ(answeredOn, QThread::currentThread());
  EXPECT_EQ(backend->thread, QStringLiteral("vexhal-devfind"));
}

}  // namespace
}  // namespace vexhal
