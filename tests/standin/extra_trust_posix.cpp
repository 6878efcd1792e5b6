#include <openssl/ssl.h>

#include "tests/standin/extra_trust.h"

namespace varenta {

std::function<bool(void*)> extraTrustIn(const std::filesystem::path& caFile) {
  return [caFile](void* sslContext) {
    X509_STORE* store = SSL_CTX_get_cert_store(static_cast<SSL_CTX*>(sslContext));
    return X509_STORE_load_file(store, caFile.c_str()) == 1;
  };
}

}  // namespace varenta
