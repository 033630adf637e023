#include <QStringList>

#include "NetTestSupport.h"

namespace vexhal::test {
namespace {

using sim::UpdateService;

// Lines a delegate heard, kept apart from the delegate so they outlive it.
struct Heard {
  QStringList lines;
  std::vector<const RNetManager*> senders;
};

class RecordingDelegate : public RNetManagerDelegate {
 public:
  void onPrintLog(RNetManager& sender, const QString& message) override {
    heard->lines.append(message);
    heard->senders.push_back(&sender);
  }

  const std::shared_ptr<Heard> heard = std::make_shared<Heard>();
};

TEST_F(NetTest, LogLinesReachEveryLivingDelegateOnce) {
  auto a = std::make_shared<RecordingDelegate>();
  auto b = std::make_shared<RecordingDelegate>();
  auto gone = std::make_shared<RecordingDelegate>();
  const auto heardA = a->heard;
  const auto heardB = b->heard;
  const auto heardGone = gone->heard;
  manager_.addDelegate(gone);
  manager_.addDelegate(a);
  manager_.addDelegate(b);
  manager_.addDelegate(a);  // the program adds its forwarder again after every config
  gone.reset();
  service_.setAnswer("VX-1", "*", UpdateService::upToDate());

  useService(manager_, false);
  check(manager_, "VX-1", "1.0");

  ASSERT_EQ(heardA->lines.size(), 3) << heardA->lines.join('\n').toStdString();
  EXPECT_EQ(heardA->lines, heardB->lines);
  EXPECT_TRUE(heardGone->lines.isEmpty());
  EXPECT_TRUE(heardA->lines[0].startsWith("RNetManager, config, http://127.0.0.1:"));
  EXPECT_TRUE(heardA->lines[1].contains("/api/v1/version-check?product=VX-1&version=1.0"));
  EXPECT_EQ(heardA->lines[2], "RNetManager, version-check, 0, success");
  for (const RNetManager* sender : heardA->senders) {
    EXPECT_EQ(sender, &manager_);
  }
}

TEST_F(NetTest, DownloadOutcomeIsLogged) {
  auto delegate = std::make_shared<RecordingDelegate>();
  const auto heard = delegate->heard;
  manager_.addDelegate(delegate);
  const QString url = service_.url("/missing.bin", true);

  download(manager_, url, scratchPath("x.bin"));

  ASSERT_EQ(heard->lines.size(), 2);
  EXPECT_TRUE(heard->lines[0].contains(url));
  EXPECT_TRUE(heard->lines[1].startsWith(
      QStringLiteral("RNetManager, download, %1, ").arg(RNetResponse::kHttpStatus)));
}

TEST_F(NetTest, TlsProblemsAreLogged) {
  RNetManager stranger;
  auto delegate = std::make_shared<RecordingDelegate>();
  const auto heard = delegate->heard;
  stranger.addDelegate(delegate);
  useService(stranger, true);

  check(stranger, "VX-1", "1");

  EXPECT_TRUE(std::any_of(heard->lines.begin(), heard->lines.end(), [](const QString& line) {
    return line.startsWith("RNetManager, TLS, ");
  })) << heard->lines.join('\n').toStdString();
}

TEST_F(NetTest, ManagerGoneDropsCallsWithoutCompletions) {
  service_.setFault(UpdateService::kVersionCheckPath, UpdateService::Fault::Slow);
  service_.addPackage("/p.bin", QByteArray(1024, 'p'));
  service_.setFault("/p.bin", UpdateService::Fault::Slow);
  auto completions = std::make_shared<int>(0);
  const QString save = scratchPath("p.bin");
  {
    RNetManager doomed;
    useService(doomed, false);
    doomed.needVersionUpgrade("VX-1", "1", [completions](const auto&, const auto&) {
      ++*completions;
    });
    doomed.download(service_.url("/p.bin", false), save, nullptr,
                    [completions](const RNetResponse&) { ++*completions; });
    ASSERT_TRUE(waitUntil([&] { return service_.requests().size() == 2; }));
  }
  drainEvents();

  EXPECT_EQ(*completions, 0);
  EXPECT_TRUE(scratchFiles().isEmpty());
}

}  // namespace
}  // namespace vexhal::test
