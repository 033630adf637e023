#pragma once

#include <QByteArray>

#include <cstdint>
#include <span>

#include "FirmwareImage.h"

namespace vexhal::sim {

// The camera's side of a firmware transfer: a start, data packets numbered from 1 in order (all
// full but the last, which is marked as last), then a finish that checks the whole image.
// Runs on the main thread.
class FirmwareReceiver {
 public:
  static constexpr qsizetype kMaxImageSize = qsizetype{64} << 20;

  struct Outcome {
    std::uint32_t code = 0;
    FirmwareImageCheck check;  // meaningful for a finish answered with 0
  };

  // Begins a transfer, dropping one in progress. Always accepted.
  std::uint32_t start();
  // One data packet; `dataStatus` 2 marks the last one.
  std::uint32_t accept(std::uint32_t packNum, std::uint8_t dataStatus,
                       std::span<const std::uint8_t> bytes);
  // Ends the transfer and checks the image; the receiver is idle afterwards.
  Outcome finish();
  // Drops a transfer in progress.
  void abandon();

  bool inProgress() const { return started_; }
  // Whether this transfer has written anything yet (the old firmware is gone from then on).
  bool hasWritten() const { return started_ && packets_ > 0; }
  std::int64_t packetsReceived() const { return packets_; }

 private:
  bool started_ = false;
  bool complete_ = false;
  std::int64_t packets_ = 0;
  QByteArray image_;
};

}  // namespace vexhal::sim
