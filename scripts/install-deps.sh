#!/usr/bin/env bash
# Installs the Debian packages VEXA needs to build, test and run; installs only what is missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  qt6-multimedia-dev pulseaudio
  # the preview renders songs with FluidSynth and a General MIDI sound font
  libfluidsynth-dev timgm6mb-soundfont
  libgtest-dev libgmock-dev
  libphysfs-dev
  libpng-dev libimagequant-dev
  libcli11-dev
  libfuse3-dev fuse3
  clang-14 libclang-rt-14-dev clang-format-14
  freedoom
  # make bench: DeuTex is the reference of converting a WAD's pictures
  deutex
  # bench/import_quality.py and bench/nearest_colour.py: pngquant is the reference of import's quality
  pngquant python3-pil python3-numpy
  # a test counts the system calls of an extraction
  strace
  xvfb xauth
  # the install tree's test runs the desktop's own validators; make package needs dpkg-shlibdeps
  desktop-file-utils appstream shared-mime-info libxml2-utils libglib2.0-bin man-db groff-base dpkg-dev
)

# scripts/install-windows-deps.sh asks for its own list through VEXA_PACKAGES.
if [ -n "${VEXA_PACKAGES:-}" ]; then
  read -r -a packages <<< "$VEXA_PACKAGES"
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
