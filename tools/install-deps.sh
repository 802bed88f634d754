#!/usr/bin/env bash
# Installs, with apt-get, the Debian packages that building, running, testing and
# packaging Tailpeek need: only those that are missing, and quietly when all are there.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qtbase5-dev qtbase5-dev-tools qt5-qmake libqt5svg5-dev
  fonts-ipafont-gothic qttranslations5-l10n
  xvfb xauth x11-apps x11-utils xdotool imagemagick
  libbenchmark-dev
  clang libclang-rt-14-dev
  dpkg-dev file man-db desktop-file-utils appstream python3
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "tailpeek: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
