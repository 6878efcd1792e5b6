#include "tests/standin/test_certificates.h"

#include <fstream>
#include <stdexcept>
#include <string>

#include "tests/support/linux_shell.h"

namespace varenta {
namespace {

void openssl(const std::string& arguments) {
  const std::string command = "openssl " + arguments + " >/dev/null 2>&1";
  if (runLinuxShell(command) != 0) throw std::runtime_error("failed: " + command);
}

}  // namespace

TestCertificates makeTestCertificates(const std::filesystem::path& dir) {
  // openssl is a Linux program, run through wine by the Windows tests.
  const auto in = [&dir](const char* name) { return shellQuoted(linuxPathOf(dir / name)); };
  const std::string newKey = "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
  // Wine (8.0) matches a host against a certificate's DNS names only, so 127.0.0.1 is one of them too;
  // Windows and OpenSSL take the IP address entry for it.
  const std::string forLoopback = "subjectAltName=IP:127.0.0.1,DNS:localhost,DNS:127.0.0.1";

  openssl("req -x509 " + newKey + " -keyout " + in("ca.key") + " -out " + in("ca.pem") +
          " -days 2 -subj /CN=Varenta-Test-CA -addext basicConstraints=critical,CA:TRUE" +
          " -addext keyUsage=critical,keyCertSign,cRLSign");
  openssl("req " + newKey + " -keyout " + in("server.key") + " -out " + in("server.csr") +
          " -subj /CN=127.0.0.1");
  std::ofstream(dir / "server.ext") << forLoopback << "\n";
  openssl("x509 -req -in " + in("server.csr") + " -CA " + in("ca.pem") + " -CAkey " + in("ca.key") +
          " -CAcreateserial -days 2 -extfile " + in("server.ext") + " -out " + in("server.pem"));
  openssl("req -x509 " + newKey + " -keyout " + in("self.key") + " -out " + in("self.pem") +
          " -days 2 -subj /CN=127.0.0.1 -addext " + forLoopback);
  return {dir / "ca.pem", dir / "server.pem", dir / "server.key", dir / "self.pem", dir / "self.key"};
}

}  // namespace varenta
