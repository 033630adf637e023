#include "net/Sha256.h"

#include <openssl/evp.h>

#include <new>

namespace vexhal {

Sha256::Sha256() : context_(EVP_MD_CTX_new()) {
  if (context_ == nullptr || EVP_DigestInit_ex(context_, EVP_sha256(), nullptr) != 1) {
    EVP_MD_CTX_free(context_);
    throw std::bad_alloc();
  }
}

Sha256::~Sha256() { EVP_MD_CTX_free(context_); }

void Sha256::addData(QByteArrayView data) {
  EVP_DigestUpdate(context_, data.data(), static_cast<size_t>(data.size()));
}

QByteArray Sha256::hexResult() {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(context_, digest, &length) != 1) {
    return {};
  }
  return QByteArray(reinterpret_cast<const char*>(digest), static_cast<qsizetype>(length)).toHex();
}

}  // namespace vexhal
