#!/usr/bin/env bash
# Installs, with apt-get, the Debian packages that building, running, testing and
# packaging Tailpeek need: only those that are missing, and quietly when all are there.
# TAILPEEK_QT says for which Qt: 6 or auto (the default; auto builds with Qt 6
# when it is there), 5, or both.
set -euo pipefail

qt5=(qtbase5-dev qtbase5-dev-tools qt5-qmake libqt5svg5-dev qttranslations5-l10n)
# Core5Compat keeps QTextCodec, which decodes exactly as Qt 5 does; Qt's own
# translations are in a package of their own.
qt6=(qt6-base-dev qt6-base-dev-tools qt6-5compat-dev qt6-translations-l10n)
case "${TAILPEEK_QT:-auto}" in
  5) qt=("${qt5[@]}") ;;
  6|auto) qt=("${qt6[@]}") ;;
  both) qt=("${qt5[@]}" "${qt6[@]}") ;;
  *) echo "tailpeek: TAILPEEK_QT is '${TAILPEEK_QT}': use 5, 6, auto or both" >&2; exit 2 ;;
esac

packages=(
  build-essential cmake pkg-config
  "${qt[@]}"
  fonts-ipafont-gothic
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
