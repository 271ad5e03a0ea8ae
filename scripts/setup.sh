#!/usr/bin/env bash
# Installs everything Quarn needs to build, test and run on Debian 12.
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then
    SUDO=sudo
else
    SUDO=
fi
export DEBIAN_FRONTEND=noninteractive
# The Windows build compiles iperf from Debian's source: it needs a deb-src line for the
# mirror the machine already uses.
if ! grep -rqs '^Types:.*deb-src\|^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    mirror=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
    printf 'Types: deb-src\nURIs: %s\nSuites: bookworm bookworm-updates\nComponents: main\nSigned-By: %s\n' \
        "${mirror:-http://deb.debian.org/debian}" /usr/share/keyrings/debian-archive-keyring.gpg |
        $SUDO tee /etc/apt/sources.list.d/quarn-src.sources >/dev/null
fi
$SUDO apt-get update -qq
# scdoc turns the manual pages' sources into roff; bash-completion loads the completion
# files in their tests. The package check's own tools: scripts/setup-check.sh.
$SUDO apt-get install -y -qq --no-install-recommends \
    build-essential g++ cmake ninja-build pkg-config git \
    libgtest-dev libgmock-dev googletest \
    qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev \
    fonts-nanum fonts-dejavu-core \
    iperf iproute2 procps psmisc \
    clang-format clang libclang-rt-14-dev \
    libzstd-dev prometheus \
    scdoc \
    bash-completion \
    desktop-file-utils systemd shared-mime-info libglib2.0-bin dpkg-dev file \
    xvfb xauth imagemagick python3 chromium \
    g++-mingw-w64-x86-64-posix wine64 wine zip locales \
    poppler-utils \
    >/dev/null
# The lab key's HMAC-SHA256 and randomness, for the Linux and the Windows build.
$SUDO apt-get install -y -qq --no-install-recommends libgcrypt20-dev >/dev/null
$SUDO apt-get install -y -qq --no-install-recommends libgcrypt-mingw-w64-dev >/dev/null
# libyaml-cpp-dev: the Console reads test plans written in YAML.
$SUDO apt-get install -y -qq --no-install-recommends libyaml-cpp-dev >/dev/null
# tcpdump: e2e tests read off the wire that data goes over IPv6 and carries the marking and sizes asked for.
$SUDO apt-get install -y -qq --no-install-recommends tcpdump >/dev/null
# poppler-utils: pdftoppm turns a report printed to PDF by Chromium into pictures to look at.
# Wine takes its code page from the locale: the Windows EndPoint's test runs it under
# ko_KR.UTF-8 (code page 949).
if ! locale -a 2>/dev/null | grep -qix 'ko_KR.utf8'; then
    $SUDO localedef -i ko_KR -f UTF-8 ko_KR.UTF-8
fi
# The Console's records must read the same under a decimal-comma locale: a test runs it
# under de_DE.UTF-8.
if ! locale -a 2>/dev/null | grep -qix 'de_DE.utf8'; then
    $SUDO localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
echo "setup: dependencies installed"
