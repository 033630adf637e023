#pragma once

#include <QByteArray>
#include <QByteArrayView>

struct evp_md_ctx_st;

namespace vexhal {

// SHA-256 of a stream, through OpenSSL's libcrypto, which uses the processor's SHA instructions
// where it has them (several times faster than a portable implementation on large packages).
class Sha256 {
 public:
  Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;
  ~Sha256();

  void addData(QByteArrayView data);
  // The digest of everything added, as lower-case hexadecimal; ends the stream.
  QByteArray hexResult();

 private:
  evp_md_ctx_st* context_;
};

}  // namespace vexhal
