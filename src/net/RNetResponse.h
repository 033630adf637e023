#pragma once

#include <QString>

#include <cstdint>

namespace vexhal {

// The outcome of one update-service call: code 0 is success, anything else a failure whose
// message can be shown to the user as it stands. A failure reported by the service itself keeps
// the service's own code and message; the negative codes below are the client's own.
struct RNetResponse {
  static constexpr std::int64_t kSuccess = 0;
  static constexpr std::int64_t kBadAddress = -1;        // endpoint or download address unusable
  static constexpr std::int64_t kNoConnection = -2;      // unreachable, refused or connection lost
  static constexpr std::int64_t kTlsFailure = -3;        // the peer's identity was not verified
  static constexpr std::int64_t kTimeout = -4;           // idle too long, or past the deadline
  static constexpr std::int64_t kHttpStatus = -5;        // an HTTP status other than 200
  static constexpr std::int64_t kBadAnswer = -6;         // a body that is not the expected JSON
  static constexpr std::int64_t kDownloadCut = -7;       // the package arrived incomplete
  static constexpr std::int64_t kChecksumMismatch = -8;  // the package does not match its sha256
  static constexpr std::int64_t kTooLarge = -9;          // the package exceeds the size limit
  static constexpr std::int64_t kFileError = -10;        // the package could not be saved
  static constexpr std::int64_t kRedirectFailure = -11;  // redirections that lead to no answer

  std::int64_t code = kSuccess;
  QString message;

  bool ok() const { return code == kSuccess; }
};

}  // namespace vexhal
