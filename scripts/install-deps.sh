#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing Quillon need.
# Idempotent: packages already present are skipped. Uses sudo when not root.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  libxml2-dev libgtest-dev libgmock-dev googletest libbenchmark-dev
  libcli11-dev nlohmann-json3-dev
  clang clang-14 libclang-rt-14-dev clang-format
  nodejs npm
  # The setup window: Qt 6 Widgets and Qt Test (qt6-base-dev brings the
  # offscreen platform plugin the tests and screenshots run on), and a font
  # for the offscreen platform, which has no system fonts of its own.
  qt6-base-dev fonts-dejavu-core
  # The Debian package (CPack runs dpkg-shlibdeps and file) and the tests
  # that check it and its man pages (lintian, man, lexgrog).
  dpkg-dev file lintian man-db
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
# A nodejs from another source may ship npm itself.
if command -v npm >/dev/null 2>&1; then
  missing=("${missing[@]/npm}")
fi
read -r -a missing <<<"${missing[*]}"

if [ "${#missing[@]}" -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "install-deps: installing ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
