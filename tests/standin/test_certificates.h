#pragma once
// Certificates for HTTPS tests, made with the openssl command at test time: a CA of the test and
// a certificate for 127.0.0.1 signed by it, and a self-signed certificate nobody trusts.

#include <filesystem>

namespace varenta {

struct TestCertificates {
  std::filesystem::path caFile;  // trust this to trust serverCert
  std::filesystem::path serverCert;
  std::filesystem::path serverKey;
  std::filesystem::path selfSignedCert;
  std::filesystem::path selfSignedKey;
};

// Writes the files into `dir`; throws std::runtime_error when openssl fails.
TestCertificates makeTestCertificates(const std::filesystem::path& dir);

}  // namespace varenta
