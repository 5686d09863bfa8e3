#!/usr/bin/env bash
# Installs the Debian packages the project builds with. Idempotent: when every
# package is already there it asks apt nothing and returns at once.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libjpeg-dev
  qt6-base-dev qt6-qpa-plugins
  nlohmann-json3-dev
  libsqlite3-dev libboost-dev
  clang libclang-rt-dev
  # Tests only: independent readers of what the report engine writes.
  # wmf2svg (libwmf-bin, with the gsfonts it draws texts with) converts a
  # page file; pdfinfo and pdftotext (poppler-utils) read a report printed
  # to PDF.
  libwmf-bin gsfonts poppler-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}" >&2
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
