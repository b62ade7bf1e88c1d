#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when they are missing.
set -euo pipefail

packages=(cmake g++ make pkg-config libsqlite3-dev libgtest-dev libgmock-dev libbenchmark-dev
  libcurl4-openssl-dev  # the filter update's HTTP client
  curl wget python3  # the live tests' clients
  time  # the live benchmark's memory figures
  libglib2.0-dev dbus-daemon  # the tray agent (GDBus) and its tests' private session bus
  libwxgtk3.2-dev libgtk-3-dev  # the Control Center's windows, the log viewer, the classic tray
  xvfb xauth xdotool fonts-dejavu-core  # the window tests' X server and the person they play
  libx11-dev libgdk-pixbuf-2.0-dev  # the desktop test's X probe and its screenshot (PNG)
  fonts-dejavu-extra)  # DejaVu Sans Condensed 8: the dialog font with the platform's base units (6 x 13)

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -q "${missing[@]}"
fi
