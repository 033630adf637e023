#include <gtest/gtest.h>

#include <QImage>
#include <QTest>

#include "TestPictures.h"
#include "logkit/MemoryLog.h"
#include "video/preview/QVideoRenderView.h"
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
  return frameOf({nullptr, 0, width, height});
}

class FrameViewTest : public ::testing::Test {
 protected:
  RecordingSurface* surface_ = new RecordingSurface;
  std::unique_ptr<VideoRender> view_ =
      std::make_unique<VideoRender>(nullptr, std::unique_ptr<RecordingSurface>(surface_));
};

// The view tells the surface a frame's size only when it changes; no frame only clears the
// picture, and a handle drops frames once the view is gone.
TEST_F(FrameViewTest, AnnouncesTheFrameSizeOnlyWhenItChangesAndAHandleOutlivesTheView) {
  view_->show();
  for (int i = 0; i < 2; ++i) view_->renderFrame(blankFrame(1280, 720));
  view_->renderFrame(nullptr);
  EXPECT_EQ(surface_->sizes, std::vector<QSizeF>{QSizeF(1280, 720)});
  ASSERT_EQ(surface_->frames.size(), 3U);
  EXPECT_EQ(surface_->frames.back(), nullptr);
  const auto handle = view_->handle();
  EXPECT_TRUE(handle->renderFrame(blankFrame(640, 480)));
  view_.reset();
  EXPECT_FALSE(handle->renderFrame(blankFrame(640, 480)));
}

bool near(const QColor& a, const QColor& b) { return testing::near(a, b, 23); }

// Drawn pixels, through whatever surface the platform gives (OpenGL under a real X server,
// raster offscreen): modes and mirroring reach them, and no frame draws black.
TEST(DrawingTest, ModesAndMirroringReachThePixelsAndNoFrameDrawsBlack) {
  QVideoRenderView view;
  view.resize(200, 100);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  const auto draw = [&view](QRtcViewMode mode, QVideoMirrorMode mirror) {
    view.renderMode = mode;
    view.renderView()->renderMode = mode;
    view.renderView()->applyRenderMode();
    view.mirrorMode = mirror;
    view.applyTransform();
    view.renderView()->renderFrame(frameOf(mjpegSample(quadrantPicture(160, 160))));
    return view.grab().toImage();
  };
  for (const auto mirror :
       {QVideoMirrorMode::disabled, QVideoMirrorMode::auto_, QVideoMirrorMode::enabled}) {
    const QImage drawn = draw(QRtcViewMode::scaleToFill, mirror);
    const bool mirrored = mirror != QVideoMirrorMode::disabled;
    EXPECT_TRUE(near(drawn.pixelColor(10, 10), quadrantColor(mirrored ? 1 : 0)));
    EXPECT_TRUE(near(drawn.pixelColor(190, 90), quadrantColor(mirrored ? 2 : 3)));
  }
  // A square picture fitted into 200 x 100: black bands at both sides.
  const QImage fit = draw(QRtcViewMode::scaleAspectFit, QVideoMirrorMode::disabled);
  EXPECT_EQ(fit.pixelColor(5, 50), QColor(Qt::black));
  EXPECT_TRUE(near(fit.pixelColor(60, 10), quadrantColor(0)));
  view.renderView()->renderFrame(nullptr);
  EXPECT_EQ(view.grab().toImage().pixelColor(60, 10), QColor(Qt::black));
}

// Frames are decoded no larger than the painted area; corrupt ones are skipped, keeping the last
// good picture, and logged once per interval.
TEST(PresenterTest, DecodesNoLargerThanTheAreaAndSkipsCorruptFramesWithOneLogLinePerInterval) {
  LogCapture log;
  auto now = VideoFramePresenter::Clock::time_point();
  VideoFramePresenter presenter([&now] { return now; });
  presenter.setArea(QSizeF(16, 9));
  presenter.setContentMode(QRtcViewMode::scaleAspectFit);
  const QImage picture = quadrantPicture(128, 72);
  presenter.setVideoFrame(frameOf(mjpegSample(picture)));
  EXPECT_EQ(presenter.latestImage().size(), QSize(16, 9));
  EXPECT_EQ(presenter.contentSize(), QSizeF(128, 72));
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
  EXPECT_EQ(presenter.latestImage().size(), QSize(16, 9));
}

}  // namespace
}  // namespace vexhal::video
