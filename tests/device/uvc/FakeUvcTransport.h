#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "device/uvc/UVCTransport.h"
#include "device/uvc/UVCTransportFactory.h"

namespace vexhal::testing {

// What a transport saw of one request: the setup fields, the value bytes as they arrived
// (all eight bytes of the sender's buffer, to see that a GET's buffer was cleared) and wLenDone.
struct SeenRequest {
  std::uint8_t bmRequestType;
  std::uint8_t bRequest;
  std::uint16_t wValue;
  std::uint16_t wIndex;
  std::uint16_t wLength;
  std::vector<std::uint8_t> bytes;
  std::uint32_t wLenDone;
};

// Records every request and answers GETs with fixed bytes. Shared with the test through a
// pointer that outlives the transport.
struct FakeUvcCamera {
  std::vector<SeenRequest> seen;
  std::vector<std::uint8_t> answer;  // copied into a GET's value bytes, up to wLength
  int status = 0;
};

class FakeUvcTransport final : public UVCTransport {
 public:
  explicit FakeUvcTransport(std::shared_ptr<FakeUvcCamera> camera) : camera_(std::move(camera)) {}

  int controlRequest(UVCControlRequest& request) override {
    camera_->seen.push_back(
        {request.bmRequestType, request.bRequest, request.wValue, request.wIndex, request.wLength,
         std::vector<std::uint8_t>(request.pData, request.pData + 8), request.wLenDone});
    if (camera_->status != 0) {
      return camera_->status;
    }
    if ((request.bmRequestType & 0x80) != 0) {
      for (std::size_t i = 0; i < camera_->answer.size() && i < request.wLength; ++i) {
        request.pData[i] = camera_->answer[i];
      }
    }
    request.wLenDone = request.wLength;
    return 0;
  }

 private:
  std::shared_ptr<FakeUvcCamera> camera_;
};

// Opens the fake camera at one location or with one pair of USB ids, and remembers what was
// asked for.
class FakeUvcTransportFactory final : public UVCTransportFactory {
 public:
  FakeUvcTransportFactory(std::shared_ptr<FakeUvcCamera> camera, std::uint32_t locationId)
      : camera_(std::move(camera)), locationId_(locationId) {}

  std::unique_ptr<UVCTransport> openByLocation(std::uint32_t locationId) override {
    askedLocations.push_back(locationId);
    return locationId == locationId_ ? std::make_unique<FakeUvcTransport>(camera_) : nullptr;
  }
  std::unique_ptr<UVCTransport> openByVendorProduct(std::uint16_t vendorId,
                                                    std::uint16_t productId) override {
    askedIds.emplace_back(vendorId, productId);
    return vendorId == 0xB206 && productId == 0xB215 ? std::make_unique<FakeUvcTransport>(camera_)
                                                     : nullptr;
  }

  std::vector<std::uint32_t> askedLocations;
  std::vector<std::pair<std::uint16_t, std::uint16_t>> askedIds;

 private:
  std::shared_ptr<FakeUvcCamera> camera_;
  std::uint32_t locationId_;
};

}  // namespace vexhal::testing
