#pragma once

#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

#include "base/Scheduler.h"

namespace vexhal {

class HidDiscovery;
struct QCameraAccessSystem;
class SleepWatcher;
class USBDevice;
class UVCTransportFactory;
namespace video {
class CaptureBackend;
}

// What the program uses of the machine it runs on: how it finds cameras (HID discovery, UVC
// controls, capture), whether this user may open one, how it defers work, opens web
// addresses and shows folders, how it hears of wake-ups, where its autostart entry goes, how
// freed memory goes back to the system, and whether a firmware installation is running. `main`
// makes one for the real devices, the demo one for its virtual camera, tests one with fakes; the
// screens are handed it. Main thread only.
class Platform {
 public:
  using DiscoveryMaker = std::function<std::unique_ptr<HidDiscovery>()>;
  // True when this user may open the camera's nodes.
  using AccessChecker = std::function<bool(const USBDevice& device)>;
  using BrowserOpener = std::function<bool(const QUrl& url)>;
  // Shows a local folder in the file manager; false when nothing took it.
  using FolderOpener = std::function<bool(const QString& folder)>;
  using SleepWatcherMaker = std::function<std::shared_ptr<SleepWatcher>()>;
  using MemoryReleaser = std::function<void()>;

  // The real devices: udev discovery, V4L2 controls and capture, access diagnosed on the
  // running system and the event loop's timer. No web browser and no wake-ups until
  // useDesktopServices() adds the desktop's.
  Platform();
  Platform(const Platform&) = delete;
  Platform& operator=(const Platform&) = delete;
  Platform(Platform&&) noexcept;
  Platform& operator=(Platform&&) noexcept;
  ~Platform();

  // A new discovery for a HID manager; null when none can be made.
  std::unique_ptr<HidDiscovery> makeDiscovery() const;
  void setDiscoveryMaker(DiscoveryMaker maker) { discoveryMaker_ = std::move(maker); }

  UVCTransportFactory& uvcTransportFactory() const { return *uvcTransportFactory_; }
  void setUvcTransportFactory(std::shared_ptr<UVCTransportFactory> factory);

  const std::shared_ptr<video::CaptureBackend>& captureBackend() const { return captureBackend_; }
  void setCaptureBackend(std::shared_ptr<video::CaptureBackend> backend);

  // Empty: the access is diagnosed on the access system.
  const AccessChecker& accessChecker() const { return accessChecker_; }
  void setAccessChecker(AccessChecker checker) { accessChecker_ = std::move(checker); }
  // Where access is diagnosed and its help looked up (a test's fake tree); null: the running
  // system.
  const std::shared_ptr<const QCameraAccessSystem>& accessSystem() const { return accessSystem_; }
  void setAccessSystem(std::shared_ptr<const QCameraAccessSystem> system) {
    accessSystem_ = std::move(system);
  }

  const Scheduler& scheduler() const { return scheduler_; }
  void setScheduler(Scheduler scheduler) { scheduler_ = std::move(scheduler); }
  // Defers through whichever scheduler the platform has when a task comes, for objects made
  // before a test sets its own.
  Scheduler currentScheduler() const;

  // Hands an address to the web browser; false when nothing took it.
  const BrowserOpener& browserOpener() const { return browserOpener_; }
  void setBrowserOpener(BrowserOpener opener) { browserOpener_ = std::move(opener); }

  // Shows a folder (the log folder) in the file manager; empty until the desktop's is added.
  const FolderOpener& folderOpener() const { return folderOpener_; }
  void setFolderOpener(FolderOpener opener) { folderOpener_ = std::move(opener); }

  // Where the "Start at login" entry goes: the user's autostart folder, or a test's.
  const QString& autostartDirectory() const { return autostartDirectory_; }
  void setAutostartDirectory(QString directory) { autostartDirectory_ = std::move(directory); }

  // What tells the program that the machine woke from sleep; null when nothing can.
  std::shared_ptr<SleepWatcher> makeSleepWatcher() const;
  void setSleepWatcherMaker(SleepWatcherMaker maker) { sleepWatcherMaker_ = std::move(maker); }

  // While a firmware installation runs, neither the camera info nor the camera control screen
  // closes itself when its camera goes away (the camera restarts as part of the update).
  bool firmwareInstalling() const { return firmwareInstalling_; }
  void setFirmwareInstalling(bool installing) { firmwareInstalling_ = installing; }

  // Hands the heap's freed pages back to the system. glibc keeps them in its heaps (one for
  // each thread that allocated) otherwise, so a closed preview's frames would stay resident.
  void releaseFreedMemory() const;
  void setMemoryReleaser(MemoryReleaser releaser) { memoryReleaser_ = std::move(releaser); }

  // Makes the process-wide HID manager use this platform's discovery; call once at start-up,
  // before the manager is first used. False when the manager was already made.
  bool configureSharedManager() const;

 private:
  DiscoveryMaker discoveryMaker_;
  std::shared_ptr<UVCTransportFactory> uvcTransportFactory_;
  std::shared_ptr<video::CaptureBackend> captureBackend_;
  AccessChecker accessChecker_;
  std::shared_ptr<const QCameraAccessSystem> accessSystem_;
  Scheduler scheduler_;
  BrowserOpener browserOpener_;
  FolderOpener folderOpener_;
  SleepWatcherMaker sleepWatcherMaker_;
  MemoryReleaser memoryReleaser_;
  QString autostartDirectory_;
  bool firmwareInstalling_ = false;
};

}  // namespace vexhal
