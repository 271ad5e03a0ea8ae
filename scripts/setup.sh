#!/usr/bin/env bash
# Installs everything Quarn needs to build, test and run on Debian 12.
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then
    SUDO=sudo
else
    SUDO=
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends \
    build-essential g++ cmake ninja-build pkg-config git \
    libgtest-dev libgmock-dev googletest \
    qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev \
    fonts-nanum \
    iperf iproute2 procps psmisc \
    clang-format clang libclang-rt-14-dev \
    libzstd-dev prometheus \
    desktop-file-utils systemd shared-mime-info libglib2.0-bin dpkg-dev file \
    xvfb xauth imagemagick python3 \
    >/dev/null
echo "setup: dependencies installed"
