# Sourced by run.sh and test.sh: installs the Debian packages the build, the
# tests and the headless run need, and only those that are missing, so a
# machine that has them all installs nothing and needs no network.

plenvo_packages=(
    cmake g++ qt6-base-dev qt6-serialport-dev libgtest-dev libbenchmark-dev
    xvfb xdotool imagemagick python3 clang libclang-rt-14-dev
    ser2net
)

ensure_packages() {
    local missing=() package
    for package in "${plenvo_packages[@]}"; do
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
