#!/bin/sh
# Installs the Debian packages the build, tests and benchmarks need, when any is missing.
# Idempotent: does nothing when everything is already there.
set -e
PACKAGES="cmake g++ make pkg-config libsdl1.2-dev libsdl-mixer1.2-dev libsdl-net1.2-dev libsmpeg-dev
libtinyxml-dev libpng-dev zlib1g-dev libucl-dev xvfb xauth libgtest-dev libbenchmark-dev
libsdl-gfx1.2-dev clang libclang-rt-14-dev imagemagick x11-apps xdotool libgl1-mesa-dri libglx-mesa0 libgl-dev
libvorbis-dev libsoxr-dev libxtst-dev"
missing=""
for pkg in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing="$missing $pkg"
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
$SUDO apt-get update
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y $missing
