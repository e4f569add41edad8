#!/usr/bin/env bash
# Everything a Debian 12 machine needs to build the helper and run every test, as root: the
# build's libraries, the Linux desktop the tests start (X server, D-Bus, the accessibility bus,
# a window manager and a compositor), the applications they drive (GTK 3 and 4, Qt 5, Firefox
# ESR, Chromium, xterm), and simdjson's static archive for the fully static helper (Debian
# ships only its shared library). The README's first command and CI both start here.
set -euo pipefail
cd "$(dirname "$0")/.."

export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends \
  ca-certificates cmake ninja-build g++ make pkg-config \
  nlohmann-json3-dev libsimdjson-dev libutf8proc-dev libgtest-dev libbz2-dev unicode-data \
  libdbus-1-dev libx11-dev libxtst-dev libxfixes-dev libatspi2.0-dev \
  xvfb at-spi2-core dbus-daemon dbus-bin openbox weston x11-xkb-utils xterm \
  libgtk-3-dev libgtk-4-dev qtbase5-dev firefox-esr chromium

scripts/simdjson-archive.sh
