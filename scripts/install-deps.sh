#!/usr/bin/env bash
# Installs the Debian packages the project builds, tests and runs with. Idempotent: packages already
# present are not fetched again, so a second run needs no network.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git curl ca-certificates openssl systemd
  libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
  libcurl4-openssl-dev libssl-dev rapidjson-dev libcpp-httplib-dev libsystemd-dev dpkg-dev logrotate
  firebird3.0-server firebird-dev libfbclient2
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages (${missing[*]}) and not root" >&2
  exit 1
fi

# The server package asks for SYSDBA's password on first install; answer it beforehand with the
# store system's first password, which the service itself connects with.
debconf-set-selections <<'SEL'
firebird3.0-server shared/firebird/enabled boolean true
firebird3.0-server shared/firebird/sysdba_password/first_install password quenbolix
SEL
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
