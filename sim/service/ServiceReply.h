#pragma once

#include <QByteArray>

#include <chrono>
#include <cstdint>

namespace vexhal::sim {

// What one connection of the local update service sends back, and how.
struct ServiceReply {
  enum class Delivery {
    Whole,        // the body with its Content-Length
    DropMidway,   // the full Content-Length, half the body, then the connection closes
    NoLength,     // the body without Content-Length; closing the connection ends it
    FalseLength,  // announces `declaredLength` bytes and sends the body
    Trickle,      // the body with its Content-Length, one byte every `pace`
    Flood         // the body over and over in chunks until `declaredLength` bytes have gone
  };

  int status = 200;
  QByteArray contentType = "application/json";
  QByteArray body;
  Delivery delivery = Delivery::Whole;
  std::int64_t declaredLength = -1;
  QByteArray location = {};            // sent as Location, for redirections
  QByteArray encoding = {};            // sent as Content-Encoding
  std::chrono::milliseconds delay{0};  // how long to hold the answer back
  std::chrono::milliseconds pace{0};   // between the bytes of a trickle
};

}  // namespace vexhal::sim
