#pragma once

#include <QUrl>

#include <functional>

class QWidget;

namespace vexhal {

// Opens addresses in the user's web browser: only http and https addresses with a host, so an
// address that came from the update service can never start a local program or open a file.
class QBrowserLink {
 public:
  using Opener = std::function<bool(const QUrl&)>;

  static bool isWebAddress(const QUrl& url);
  // Hands `url` to `opener` when it is a web address; false when it is not or was refused.
  static bool open(const QUrl& url, const Opener& opener);
  // Opens `url`; when no browser takes it, a dialog over `askingScreen` says so, shows the
  // address and offers to copy it, so the user can still get there. False when it was not opened.
  static bool openOrShowAddress(const QUrl& url, const Opener& opener, QWidget* askingScreen);
};

}  // namespace vexhal
