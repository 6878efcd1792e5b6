#include <windows.h>
// after windows.h, which it needs
#include <wincrypt.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "tests/standin/extra_trust.h"

namespace varenta {
namespace {

struct CertificateFree {
  void operator()(const CERT_CONTEXT* certificate) const { CertFreeCertificateContext(certificate); }
  void operator()(const CERT_CHAIN_CONTEXT* chain) const { CertFreeCertificateChain(chain); }
  void operator()(void* store) const { CertCloseStore(store, 0); }
};

// The first certificate of a PEM file.
std::unique_ptr<const CERT_CONTEXT, CertificateFree> readPemCertificate(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::string pem((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  DWORD size = 0;
  if (!CryptStringToBinaryA(pem.data(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER, nullptr,
                            &size, nullptr, nullptr))
    return nullptr;
  std::vector<BYTE> der(size);
  if (!CryptStringToBinaryA(pem.data(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER, der.data(),
                            &size, nullptr, nullptr))
    return nullptr;
  return std::unique_ptr<const CERT_CONTEXT, CertificateFree>(
      CertCreateCertificateContext(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, der.data(), size));
}

// Whether the server's certificate chains up to a root the system trusts, or to the extra CA.
bool trusted(const CERT_CONTEXT* server, const std::filesystem::path& caFile) {
  const auto extraCa = readPemCertificate(caFile);
  if (!extraCa) return false;
  // The chain may use the extra CA and the intermediates the server sent with its certificate.
  const std::unique_ptr<void, CertificateFree> extra(
      CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr));
  const std::unique_ptr<void, CertificateFree> candidates(
      CertOpenStore(CERT_STORE_PROV_COLLECTION, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr));
  if (!extra || !candidates ||
      !CertAddCertificateContextToStore(extra.get(), extraCa.get(), CERT_STORE_ADD_ALWAYS, nullptr) ||
      !CertAddStoreToCollection(candidates.get(), extra.get(), 0, 0) ||
      !CertAddStoreToCollection(candidates.get(), server->hCertStore, 0, 0))
    return false;
  CERT_CHAIN_PARA parameters{};
  parameters.cbSize = sizeof parameters;
  const CERT_CHAIN_CONTEXT* built = nullptr;
  if (!CertGetCertificateChain(nullptr, server, nullptr, candidates.get(), &parameters, 0, nullptr, &built))
    return false;
  const std::unique_ptr<const CERT_CHAIN_CONTEXT, CertificateFree> chain(built);
  const DWORD status = chain->TrustStatus.dwErrorStatus;
  if (status == CERT_TRUST_NO_ERROR) return true;
  if (status != CERT_TRUST_IS_UNTRUSTED_ROOT || chain->cChain == 0) return false;
  const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
  const CERT_CONTEXT* root = simple->rgpElement[simple->cElement - 1]->pCertContext;
  return CertCompareCertificate(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, root->pCertInfo, extraCa->pCertInfo);
}

}  // namespace

std::function<bool(void*)> extraTrustIn(const std::filesystem::path& caFile) {
  return [caFile](void* serverCertificate) {
    return trusted(static_cast<const CERT_CONTEXT*>(serverCertificate), caFile);
  };
}

}  // namespace varenta
