#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing VELDAN need.
# Quick when everything is there: it asks dpkg first and calls apt-get only for what is missing.
set -euo pipefail

packages=(
  cmake g++ make ninja-build pkg-config
  qt6-base-dev libmpg123-dev libsdl2-dev libfontconfig-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-ipafont-gothic lame sox python3 libx11-dev
  xvfb xauth xdotool x11-utils imagemagick
  dbus-daemon playerctl desktop-file-utils appstream shared-mime-info
  pulseaudio pulseaudio-utils pipewire pipewire-pulse wireplumber
  clang libclang-rt-14-dev
  python3-dbus python3-gi
  python3-dbusmock
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
