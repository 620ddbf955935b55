#!/bin/sh
# Installs every Debian package the build, the tests, the screenshot tools and the install
# and Debian package (man pages, dpkg-shlibdeps) and their checks (lintian, appstreamcli,
# desktop-file-validate, systemd-analyze, xprop) need, and skyfill-control's HTTP layer
# (Boost.Beast, OpenSSL) with its API and browser tests (websocket, Selenium, Chromium).
set -eu
PACKAGES="g++ cmake ninja-build pkg-config qt6-base-dev qt6-image-formats-plugins \
libgtest-dev libgmock-dev libbenchmark-dev libjpeg-dev libsystemd-dev dbus-daemon xvfb xauth \
x11-apps netpbm help2man desktop-file-utils systemd dpkg-dev file lintian appstream x11-utils \
libboost1.81-dev libssl-dev python3-websocket python3-selenium chromium chromium-driver"
missing=""
for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
# shellcheck disable=SC2086
$SUDO apt-get install -y --no-install-recommends $missing
