# shellcheck shell=bash disable=SC2034  # the lists are read where this is sourced
# Sourced by run.sh and test.sh: installs the Debian packages they need, and
# only those that are missing, so a machine that has them all installs
# nothing and needs no network.
#
#   ensure_packages "${plenvo_run_packages[@]}"   # run.sh
#   ensure_packages "${plenvo_packages[@]}"       # test.sh

# Building and running the panel, the headless demonstration included (a
# private X server, clicks by xdotool, the screenshot by ImageMagick), and
# the MQTT client library of the broker door.
plenvo_run_packages=(
    cmake g++ qt6-base-dev qt6-serialport-dev libmosquitto-dev pkgconf
    xvfb xdotool imagemagick python3
    # The web page's server and live socket, and its link as a QR code.
    qt6-httpserver-dev qt6-websockets-dev libqrencode-dev
)

# The tests': all of the above, Ninja, GoogleTest, Google Benchmark, clang's
# fuzzer runtime, dpkg-shlibdeps for the package's dependencies and lintian
# to check the package, an SVG
# renderer for its scalable icon, ser2net, a private D-Bus session with the
# accessibility bus and its Python bindings for reading the panel as a screen
# reader does, a small window manager with xprop for a minimised panel, and
# an MQTT broker with a Python client standing in for Home Assistant.
plenvo_packages=(
    "${plenvo_run_packages[@]}"
    ninja-build libgtest-dev libbenchmark-dev clang libclang-rt-14-dev
    dpkg-dev librsvg2-bin ser2net
    lintian
    python3-pyatspi at-spi2-core dbus-daemon
    x11-utils twm
    mosquitto python3-paho-mqtt
    # A real browser for the web page's end-to-end test.
    chromium chromium-driver python3-selenium
)

ensure_packages() {
    local missing=() package
    for package in "$@"; do
        if [[ $(dpkg-query -W -f='${Status}' "$package" 2>/dev/null) != "install ok installed" ]]; then
            missing+=("$package")
        fi
    done
    ((${#missing[@]})) || return 0

    local as_root=()
    if ((EUID != 0)); then
        command -v sudo >/dev/null || { echo "missing packages ${missing[*]}; install them as root" >&2; return 1; }
        as_root=(sudo)
    fi
    echo "installing ${missing[*]}" >&2
    "${as_root[@]}" apt-get update
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
}
