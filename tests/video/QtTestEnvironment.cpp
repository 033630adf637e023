#include <gtest/gtest.h>

#include <QApplication>

namespace {

// Widget tests need one QApplication for the whole run (the platform comes from
// QT_QPA_PLATFORM, "offscreen" in the test set-up).
class QtTestEnvironment final : public ::testing::Environment {
public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "video_preview_test";
    static char* argv[] = {name, nullptr};
    app_ = new QApplication(argc, argv);
  }
  void TearDown() override { delete app_; }

private:
  QApplication* app_ = nullptr;
};

[[maybe_unused]] const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtTestEnvironment);

}  // namespace
