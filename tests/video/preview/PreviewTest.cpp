#include <gtest/gtest.h>

#include <QImage>
#include <QTest>

#include "TestPictures.h"
#include "logkit/MemoryLog.h"
#include "video/preview/QVideoRenderView.h"
#include "video/preview/RasterVideoSurface.h"
#include "video/preview/VideoFramePresenter.h"
#include "video/preview/VideoSurface.h"

namespace vexhal::video {
namespace {

using namespace testing;
using ostrane::test::LogCapture;

// Stands in for the drawing surface and records what the views tell it.
class RecordingSurface final : public QWidget, public VideoSurface {
 public:
  QWidget* widget() override { return this; }
  void setVideoFrame(std::shared_ptr<const VideoFrame> frame) override {
    frames.push_back(std::move(frame));
  }
  void setSize(QSizeF size) override { sizes.push_back(size); }
  void setContentMode(QRtcViewMode /*value*/) override {}
  void setContentTransform(const QTransform& /*value*/) override {}

  std::vector<std::shared_ptr<const VideoFrame>> frames;
  std::vector<QSizeF> sizes;
};

std::shared_ptr<const VideoFrame> frameOf(VideoSample sample) {
  return std::make_shared<const VideoFrame>(std::move(sample), 0, 0);
}

std::shared_ptr<const VideoFrame> blankFrame(int width, int height) {
  VideoSample sample;
  sample.width = width;
  sample.height = height;
  return frameOf(sample);
}

class FrameViewTest : public ::testing::Test {
 protected:
  RecordingSurface* surface_ = new RecordingSurface;
  std::unique_ptr<VideoRender> view_ =
      std::make_unique<VideoRender>(nullptr, std::unique_ptr<RecordingSurface>(surface_));
};

// The view's first size stands for the frames until one of another size comes; later resizes
// leave it alone. No frame only clears the picture.
TEST_F(FrameViewTest, AnnouncesTheFrameSizeOnlyWhenItChangesAndNoFrameOnlyClears) {
  view_->resize(1920, 1080);
  view_->show();
  view_->renderFrame(blankFrame(1920, 1080));
  view_->resize(800, 450);
  EXPECT_EQ(view_->renderSize(), QSizeF(1920, 1080));
  EXPECT_TRUE(surface_->sizes.empty());
  for (int i = 0; i < 2; ++i) view_->renderFrame(blankFrame(1280, 720));
  view_->renderFrame(blankFrame(1920, 1080));
  EXPECT_EQ(surface_->sizes, (std::vector<QSizeF>{QSizeF(1280, 720), QSizeF(1920, 1080)}));
  view_->renderFrame(nullptr);
  ASSERT_EQ(surface_->frames.size(), 5U);
  EXPECT_EQ(surface_->frames.back(), nullptr);
  EXPECT_EQ(surface_->sizes.size(), 2U);
  EXPECT_EQ(view_->renderSize(), QSizeF(1920, 1080));
}

TEST_F(FrameViewTest, HandleDropsFramesOnceTheViewIsGone) {
  const auto handle = view_->handle();
  EXPECT_TRUE(handle->renderFrame(blankFrame(640, 480)));
  EXPECT_EQ(surface_->sizes, std::vector<QSizeF>{QSizeF(640, 480)});
  view_.reset();
  EXPECT_FALSE(handle->renderFrame(blankFrame(640, 480)));
}

bool near(const QColor& a, const QColor& b) { return testing::near(a, b, 23); }

// Drawn pixels, through the raster surface.
TEST(DrawingTest, ModesAndMirroringReachThePixelsAndNoFrameDrawsBlack) {
  QVideoRenderView view(nullptr, std::make_unique<RasterVideoSurface>());
  view.resize(200, 100);
  view.show();
  const auto draw = [&view](QRtcViewMode mode, QVideoMirrorMode mirror) {
    view.renderMode = mode;
    view.renderView()->renderMode = mode;
    view.renderView()->applyRenderMode();
    view.mirrorMode = mirror;
    view.applyTransform();
    view.renderView()->renderFrame(frameOf(mjpegSample(quadrantPicture(160, 160))));
    return view.grab().toImage();
  };
  const QImage plain = draw(QRtcViewMode::scaleToFill, QVideoMirrorMode::disabled);
  EXPECT_TRUE(near(plain.pixelColor(10, 10), quadrantColor(0)));
  EXPECT_TRUE(near(plain.pixelColor(190, 10), quadrantColor(1)));
  EXPECT_TRUE(near(plain.pixelColor(10, 90), quadrantColor(2)));
  EXPECT_TRUE(near(plain.pixelColor(190, 90), quadrantColor(3)));
  for (const auto mirror : {QVideoMirrorMode::auto_, QVideoMirrorMode::enabled}) {
    const QImage mirrored = draw(QRtcViewMode::scaleToFill, mirror);
    EXPECT_TRUE(near(mirrored.pixelColor(10, 10), quadrantColor(1)));
    EXPECT_TRUE(near(mirrored.pixelColor(190, 90), quadrantColor(2)));
  }
  // A square picture fitted into 200 x 100: black bands at both sides.
  const QImage fit = draw(QRtcViewMode::scaleAspectFit, QVideoMirrorMode::disabled);
  EXPECT_EQ(fit.pixelColor(5, 50), QColor(Qt::black));
  EXPECT_TRUE(near(fit.pixelColor(60, 10), quadrantColor(0)));
  view.renderView()->renderFrame(nullptr);
  const QImage cleared = view.grab().toImage();
  EXPECT_EQ(cleared.pixelColor(60, 10), QColor(Qt::black));
  EXPECT_EQ(cleared.pixelColor(140, 90), QColor(Qt::black));
}

// Whatever surface the platform gives (OpenGL under a real X server, raster offscreen) draws.
TEST(DefaultSurfaceTest, DrawsTheLatestFrame) {
  QVideoRenderView view;
  view.renderView()->renderMode = QRtcViewMode::scaleToFill;
  view.renderView()->applyRenderMode();
  view.resize(200, 100);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  view.renderView()->renderFrame(frameOf(mjpegSample(quadrantPicture(64, 64))));
  view.renderView()->renderFrame(
      frameOf(mjpegSample(quadrantPicture(96, 96).mirrored(true, false))));
  const QImage shot = view.grab().toImage();
  // The second, mirrored picture is the one shown.
  EXPECT_TRUE(near(shot.pixelColor(10, 10), quadrantColor(1)));
  EXPECT_TRUE(near(shot.pixelColor(190, 90), quadrantColor(2)));
}

// A window made ready for video keeps its native window when its first preview appears: a
// recreated one goes black on screen for a moment.
TEST(DefaultSurfaceTest, AReadyWindowKeepsItsNativeWindowWhenThePreviewAppears) {
  QWidget window;
  prepareWindowForVideoSurfaces(&window);
  window.resize(200, 100);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  const WId shown = window.winId();
  auto* view = new QVideoRenderView(&window);
  view->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  EXPECT_EQ(window.winId(), shown);
}

TEST(PresenterTest, CorruptFramesAreSkippedWithOneLogLinePerInterval) {
  LogCapture log;
  auto now = VideoFramePresenter::Clock::time_point();
  VideoFramePresenter presenter([&now] { return now; });
  const QImage picture = quadrantPicture(64, 48);
  presenter.setVideoFrame(frameOf(mjpegSample(picture)));
  VideoSample truncated = mjpegSample(picture);
  truncated.payload = std::make_shared<const std::vector<std::uint8_t>>(
      truncated.bytes().begin(), truncated.bytes().begin() + 100);

  for (int i = 0; i < 50; ++i) presenter.setVideoFrame(frameOf(truncated));
  EXPECT_EQ(log.count("VideoRender, renderFrame, skipped"), 1U);
  now += std::chrono::seconds(6);
  presenter.setVideoFrame(frameOf(truncated));
  EXPECT_EQ(log.count("VideoRender, renderFrame, skipped"), 2U);
  EXPECT_EQ(log.count("49 more"), 1U);
  EXPECT_EQ(presenter.skippedFrames(), 51U);
  EXPECT_EQ(presenter.latestImage().size(), picture.size());  // the last good picture stays
}

TEST(PresenterTest, DecodesNoLargerThanThePaintedArea) {
  VideoFramePresenter presenter;
  presenter.setArea(QSizeF(160, 90));
  presenter.setContentMode(QRtcViewMode::scaleAspectFit);
  presenter.setVideoFrame(frameOf(mjpegSample(quadrantPicture(1280, 720))));
  EXPECT_EQ(presenter.latestImage().size(), QSize(160, 90));
  EXPECT_EQ(presenter.contentSize(), QSizeF(1280, 720));
}

}  // namespace
}  // namespace vexhal::video
