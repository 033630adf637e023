#include "HidGadget.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vexhal::sim {

namespace {

// A backlog this long means the host has stopped reading; older replies are dropped, as a
// camera's full endpoint would.
constexpr std::size_t kMaxQueuedReplies = 64;

}  // namespace

HidGadget::HidGadget(VirtualCamera& camera, std::string path, GadgetBus& bus, Opener opener)
    : camera_(camera), path_(std::move(path)), bus_(bus), opener_(std::move(opener)) {
  if (!opener_) {
    opener_ = &HidGadget::openNode;
  }
  QObject::connect(&readNotifier_, &QSocketNotifier::activated, &context_,
                   [this] { readReports(); });
  QObject::connect(&writeNotifier_, &QSocketNotifier::activated, &context_,
                   [this] { writeReplies(); });
  if (!camera_.isAttached()) {
    camera_.plug();
  }
  listenerId_ = camera_.addAttachListener([this](bool attached) { cameraAttached(attached); });
  open();
}

HidGadget::~HidGadget() {
  camera_.removeAttachListener(listenerId_);
  close();
}

UniqueFd HidGadget::openNode(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
  if (!fd.isValid()) {
    std::fprintf(stderr, "gadget: cannot open %s: %s\n", path.c_str(), std::strerror(errno));
  }
  return fd;
}

void HidGadget::open() {
  close();
  fd_ = opener_(path_);
  if (!fd_.isValid()) {
    return;
  }
  readNotifier_.setSocket(fd_.get());
  readNotifier_.setEnabled(true);
  writeNotifier_.setSocket(fd_.get());
}

void HidGadget::close() {
  readNotifier_.setEnabled(false);
  writeNotifier_.setEnabled(false);
  replies_.clear();
  fd_.reset();
}

void HidGadget::readReports() {
  while (fd_.isValid()) {
    ssize_t got = -1;
    do {
      got = ::read(fd_.get(), rx_.bytes().data(), kHidPacketSize);
    } while (got < 0 && errno == EINTR);
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      return;
    }
    if (got <= 0) {
      // The function went away under us (the gadget was unbound from elsewhere).
      close();
      return;
    }
    std::fill(rx_.bytes().begin() + got, rx_.bytes().end(), std::uint8_t{0});
    const std::optional<hid_cmd_pack_t> reply = camera_.respond(rx_);
    if (!reply || !fd_.isValid()) {
      continue;
    }
    if (replies_.size() == kMaxQueuedReplies) {
      replies_.pop_front();
    }
    replies_.push_back(*reply);
    ++reportsAnswered_;
    writeReplies();
  }
}

void HidGadget::writeReplies() {
  while (fd_.isValid() && !replies_.empty()) {
    ssize_t sent = -1;
    do {
      sent = ::write(fd_.get(), replies_.front().bytes().data(), kHidPacketSize);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      writeNotifier_.setEnabled(true);  // the previous report is still waiting for the host
      return;
    }
    if (sent < 0) {
      close();
      return;
    }
    replies_.pop_front();
  }
  writeNotifier_.setEnabled(false);
}

void HidGadget::cameraAttached(bool attached) {
  if (!attached) {
    close();
  }
  ++pendingBusChanges_;
  bus_.setAttached(attached, [this, attached, alive = std::weak_ptr<int>(alive_)](bool ok) {
    if (alive.expired()) {
      return;
    }
    --pendingBusChanges_;
    if (!ok) {
      ++busFailures_;
      std::fprintf(stderr, "gadget: could not %s the camera\n", attached ? "plug" : "unplug");
    }
    // The node exists again only once the gadget is bound; the camera may have left again
    // meanwhile.
    if (attached && camera_.isAttached()) {
      open();
    }
  });
}

}  // namespace vexhal::sim
