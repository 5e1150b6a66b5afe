#!/usr/bin/env bash
# Installs the Debian 12 packages the suite builds, runs and tests with; quiet when all are there.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-wayland libgl-dev libx11-dev libxtst-dev libxss-dev libxinerama-dev libxrandr-dev libxcb-shm0-dev
  libwayland-dev libwayland-bin wayland-protocols plasma-wayland-protocols
  libcurl4-openssl-dev zlib1g-dev libjpeg62-turbo-dev libfreetype-dev libfontconfig-dev fonts-liberation
  libpng-dev libwebp-dev libmpv-dev libavformat-dev libavcodec-dev libavutil-dev libswscale-dev
  libgtest-dev libbenchmark-dev
  xvfb xserver-xephyr xauth x11-utils x11-xserver-utils weston sway grim wtype dbus-daemon
  scdoc librsvg2-bin dpkg-dev desktop-file-utils appstream xss-lock xautolock i3lock swaylock playerctl
  clang libclang-rt-14-dev
  libgif-dev libpixman-1-dev imagemagick webp
  libproxy-dev libproxy1-plugin-gsettings libproxy1-plugin-kconfig libproxy1-plugin-webkit
  ffmpeg openssl python3-gi gir1.2-gstreamer-1.0 gir1.2-gst-rtsp-server-1.0 gstreamer1.0-plugins-base gstreamer1.0-plugins-good
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
