#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QTest>

#include "logkit/MemoryLog.h"
#include "TestPictures.h"
#include "video/QVideoRenderView.h"
#include "video/RasterVideoSurface.h"
#include "video/VideoFramePresenter.h"
#include "video/VideoSurface.h"

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
  void setContentMode(QRtcViewMode value) override { mode = value; }
  void setContentTransform(const QTransform& value) override { transform = value; }

  std::vector<std::shared_ptr<const VideoFrame>> frames;
  std::vector<QSizeF> sizes;
  QRtcViewMode mode{};
  QTransform transform;
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
  FrameViewTest() {
    auto owned = std::make_unique<RecordingSurface>();
    surface_ = owned.get();
    view_ = std::make_unique<VideoRender>(nullptr, std::move(owned));
  }

  RecordingSurface* surface_ = nullptr;
  std::unique_ptr<VideoRender> view_;
};

TEST_F(FrameViewTest, AnnouncesTheFrameSizeOnlyWhenItChangesAndNoFrameOnlyClears) {
  view_->resize(640, 360);
  view_->show();
  view_->renderFrame(blankFrame(1920, 1080));
  view_->renderFrame(blankFrame(1920, 1080));
  view_->renderFrame(blankFrame(1920, 1080));
  EXPECT_EQ(surface_->sizes, std::vector<QSizeF>{QSizeF(1920, 1080)});
  view_->renderFrame(blankFrame(1280, 720));
  EXPECT_EQ(surface_->sizes, (std::vector<QSizeF>{QSizeF(1920, 1080), QSizeF(1280, 720)}));
  EXPECT_EQ(view_->renderSize(), QSizeF(1280, 720));
  // No frame clears the picture and changes nothing else.
  view_->renderFrame(nullptr);
  ASSERT_EQ(surface_->frames.size(), 5U);
  EXPECT_EQ(surface_->frames.back(), nullptr);
  EXPECT_EQ(surface_->sizes.size(), 2U);
  EXPECT_EQ(view_->renderSize(), QSizeF(1280, 720));
}

TEST_F(FrameViewTest, AViewFirstSizedLikeTheFramesNeverAnnouncesThem) {
  view_->resize(1920, 1080);
  view_->show();
  EXPECT_EQ(view_->renderSize(), QSizeF(1920, 1080));
  view_->renderFrame(blankFrame(1920, 1080));
  EXPECT_TRUE(surface_->sizes.empty());
  // Only the first size counts; later resizes leave the announced size alone.
  view_->resize(800, 450);
  EXPECT_EQ(view_->renderSize(), QSizeF(1920, 1080));
}

TEST(VideoRenderHandleTest, DropsFramesOnceTheViewIsGone) {
  auto owned = std::make_unique<RecordingSurface>();
  RecordingSurface* surface = owned.get();
  auto view = std::make_unique<VideoRender>(nullptr, std::move(owned));
  const auto handle = view->handle();
  EXPECT_TRUE(handle->renderFrame(blankFrame(640, 480)));
  EXPECT_EQ(surface->sizes, std::vector<QSizeF>{QSizeF(640, 480)});
  view.reset();
  EXPECT_FALSE(handle->renderFrame(blankFrame(640, 480)));
}

class MirrorTest : public ::testing::TestWithParam<QVideoMirrorMode> {};

TEST_P(MirrorTest, ApplyTransformFlipsUnlessDisabled) {
  auto owned = std::make_unique<RecordingSurface>();
  RecordingSurface* surface = owned.get();
  QVideoRenderView view(nullptr, std::move(owned));
  EXPECT_EQ(view.mirrorMode, QVideoMirrorMode::disabled);
  view.mirrorMode = GetParam();
  view.applyTransform();
  const bool mirrored = GetParam() != QVideoMirrorMode::disabled;
  EXPECT_EQ(view.sublayerTransform(), mirrored ? view.rotateTransform() : QTransform());
  EXPECT_EQ(surface->transform, view.sublayerTransform());
  EXPECT_EQ(view.rotateTransform().map(QPointF(3, 4)), QPointF(-3, 4));
}

INSTANTIATE_TEST_SUITE_P(Modes, MirrorTest,
                         ::testing::Values(QVideoMirrorMode::auto_, QVideoMirrorMode::enabled,
                                           QVideoMirrorMode::disabled),
                         [](const auto& row) {
                           return std::string(row.param == QVideoMirrorMode::auto_     ? "Auto"
                                              : row.param == QVideoMirrorMode::enabled ? "Enabled"
                                                                                       : "Disabled");
                         });

// Drawn pixels, through the raster surface.
class DrawingTest : public ::testing::Test {
protected:
  DrawingTest() : view_(nullptr, std::make_unique<RasterVideoSurface>()) {
    view_.resize(200, 100);
    view_.show();
  }

  QImage draw(QRtcViewMode mode, QVideoMirrorMode mirror, const QImage& picture) {
    view_.renderMode = mode;
    view_.renderView()->renderMode = mode;
    view_.renderView()->applyRenderMode();
    view_.mirrorMode = mirror;
    view_.applyTransform();
    view_.renderView()->renderFrame(frameOf(mjpegSample(picture)));
    return view_.grab().toImage();
  }

public:
  static bool near(const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) < 24 && std::abs(a.green() - b.green()) < 24 &&
           std::abs(a.blue() - b.blue()) < 24;
  }

protected:
  static QColor at(const QImage& image, int x, int y) { return image.pixelColor(x, y); }

  QVideoRenderView view_;
};

TEST_F(DrawingTest, StretchFillsTheAreaAndMirroringSwapsLeftAndRight) {
  const QImage picture = quadrantPicture(160, 160);
  const QImage plain = draw(QRtcViewMode::scaleToFill, QVideoMirrorMode::disabled, picture);
  EXPECT_TRUE(near(at(plain, 10, 10), quadrantColor(0)));
  EXPECT_TRUE(near(at(plain, 190, 10), quadrantColor(1)));
  EXPECT_TRUE(near(at(plain, 10, 90), quadrantColor(2)));
  EXPECT_TRUE(near(at(plain, 190, 90), quadrantColor(3)));

  const QImage mirrored = draw(QRtcViewMode::scaleToFill, QVideoMirrorMode::auto_, picture);
  EXPECT_TRUE(near(at(mirrored, 10, 10), quadrantColor(1)));
  EXPECT_TRUE(near(at(mirrored, 190, 10), quadrantColor(0)));
  EXPECT_TRUE(near(at(mirrored, 190, 90), quadrantColor(2)));
  const QByteArray shot = qgetenv("VEXHAL_PREVIEW_SHOT");
  if (!shot.isEmpty()) mirrored.save(QString::fromLocal8Bit(shot));
}

TEST_F(DrawingTest, FitLetterBoxesAndFillCrops) {
  const QImage square = quadrantPicture(160, 160);
  const QImage fit = draw(QRtcViewMode::scaleAspectFit, QVideoMirrorMode::disabled, square);
  // A 100 x 100 picture centred in 200 x 100: black bands at both sides.
  EXPECT_EQ(at(fit, 5, 50), QColor(Qt::black));
  EXPECT_EQ(at(fit, 195, 50), QColor(Qt::black));
  EXPECT_TRUE(near(at(fit, 60, 10), quadrantColor(0)));
  EXPECT_TRUE(near(at(fit, 140, 90), quadrantColor(3)));

  const QImage fill = draw(QRtcViewMode::scaleAspectFill, QVideoMirrorMode::disabled, square);
  // 200 x 200, centred: no band, the top and bottom quarter cut off.
  EXPECT_TRUE(near(at(fill, 2, 2), quadrantColor(0)));
  EXPECT_TRUE(near(at(fill, 197, 97), quadrantColor(3)));
}

TEST_F(DrawingTest, NoFrameDrawsBlack) {
  draw(QRtcViewMode::scaleToFill, QVideoMirrorMode::disabled, quadrantPicture(64, 64));
  view_.renderView()->renderFrame(nullptr);
  const QImage cleared = view_.grab().toImage();
  EXPECT_EQ(at(cleared, 10, 10), QColor(Qt::black));
  EXPECT_EQ(at(cleared, 190, 90), QColor(Qt::black));
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
  const QImage flipped = quadrantPicture(96, 96).mirrored(true, false);
  view.renderView()->renderFrame(frameOf(mjpegSample(flipped)));
  const QImage shot = view.grab().toImage();
  const QByteArray path = qgetenv("VEXHAL_DEFAULT_SHOT");
  if (!path.isEmpty()) shot.save(QString::fromLocal8Bit(path));
  // The second, mirrored picture is the one shown.
  EXPECT_TRUE(DrawingTest::near(shot.pixelColor(10, 10), quadrantColor(1)));
  EXPECT_TRUE(DrawingTest::near(shot.pixelColor(190, 90), quadrantColor(2)));
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
  // The last good picture stays.
  EXPECT_EQ(presenter.latestImage().size(), picture.size());
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
