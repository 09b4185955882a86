#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs, when any is missing.
#
#   tools/install-deps.sh           what the game and its local ranking server
#                                   need to build and run (make run)
#   tools/install-deps.sh --tests   that, and what the tests, the benchmarks
#                                   and the packaging need (make test)
set -euo pipefail

tests=false
case "${1:-}" in
"") ;;
--tests) tests=true ;;
*)
    echo "usage: $0 [--tests]" >&2
    exit 2
    ;;
esac

packages=(
    build-essential cmake pkg-config
    libgtkmm-3.0-dev libsdl2-dev libcurl4-openssl-dev
    libmicrohttpd-dev libsqlite3-dev libpq-dev
    # The asset generator: the voices, the pictures and the icon, and the
    # loudness it measures the clips by.
    libespeak-ng-dev espeak-ng-data librsvg2-common librsvg2-bin libebur128-dev
    fonts-liberation fonts-ipafont-gothic
)
if $tests; then
    packages+=(
        clang libclang-rt-14-dev clang-format postgresql
        desktop-file-utils appstream lintian
        libgtest-dev libgmock-dev libbenchmark-dev
        xvfb xauth xdotool x11-utils pulseaudio pulseaudio-utils
        python3 python3-gi python3-pyatspi at-spi2-core dbus-daemon dbus-x11 openssl
        chromium wrk
        # The sound-server benchmark: its own PulseAudio and PipeWire, XTest keys,
        # and the cross-correlation that finds a voice under the music.
        pipewire pipewire-bin wireplumber python3-xlib python3-numpy
    )
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
# The ranking page's browser check runs on Node.js; the machine's own is
# used when there is one.
if $tests && ! command -v npm >/dev/null; then
    missing+=(nodejs npm)
fi

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing missing packages: ${missing[*]}"
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        sudo="sudo"
    fi
    $sudo apt-get -o DPkg::Lock::Timeout=600 update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}"
fi

# puppeteer-core (driving the Debian Chromium, it downloads no browser) and
# axe-core, at the versions the lock file names.
browser_tests="$(dirname "$0")/../tests/browser"
if $tests && { [ ! -f "$browser_tests/node_modules/.package-lock.json" ] ||
    [ "$browser_tests/package-lock.json" -nt "$browser_tests/node_modules/.package-lock.json" ]; }; then
    (cd "$browser_tests" && npm ci --no-audit --no-fund --loglevel=error)
fi
