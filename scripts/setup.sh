#!/usr/bin/env bash
# Installs the Debian packages the project needs (as root or through sudo),
# then configures and builds into the given directory (default: build/).
#   scripts/setup.sh [BUILD_DIR [CMAKE_ARGUMENTS...]]   everything, tests included
#   scripts/setup.sh --run [BUILD_DIR]                  only what building and running need
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
for_running=false
if [ "${1:-}" = --run ]; then
    for_running=true
    shift
fi
build_dir=${1:-$root/build}
shift || true

# Building the program, and rendering without a display.
running=(
    cmake g++ make pkg-config
    libglfw3-dev python3-glad libglm-dev libstb-dev libcli11-dev
    libtomlplusplus-dev nlohmann-json3-dev liblo-dev libimgui-dev
    libgl1-mesa-dri libglx-mesa0 libegl1 libegl-mesa0
    libfftw3-dev libpulse-dev
)
# The tests, the benchmark, the manual page and recording videos.
testing=(
    libgtest-dev xvfb xauth xdotool python3 python3-xlib python3-pil apitrace hyperfine time
    valgrind clang libclang-rt-14-dev help2man man-db ffmpeg liblo-tools parallel
    pulseaudio pulseaudio-utils
)

# apt's output cut down to a line a package: what is fetched, then what is set up.
show_progress() {
    local line total=0 fetched=0 set_up=0
    while IFS= read -r line; do
        case $line in
        *" newly installed, "*)
            # Packages upgraded on the way are fetched and set up too.
            local upgraded=${line%% upgraded,*} installed=${line#*upgraded, }
            total=$((upgraded + ${installed%% newly*}))
            ;;
        "Need to get "*) echo "$total packages to install; ${line#Need to }" ;;
        Get:*)
            ((total)) || continue # the package lists
            fetched=$((fetched + 1))
            read -r -a fields <<<"$line"
            echo "Fetched $fetched of $total: ${fields[4]}"
            ;;
        "Setting up "*)
            set_up=$((set_up + 1))
            line=${line#Setting up }
            echo "Set up $set_up of $total: ${line%% *}"
            ;;
        esac
    done
}

packages=("${running[@]}")
$for_running || packages+=("${testing[@]}")
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done

if ((${#missing[@]})); then
    if [ "$(id -u)" -eq 0 ]; then
        sudo=()
    elif command -v sudo >/dev/null; then
        sudo=(sudo)
    else
        echo "Missing packages: ${missing[*]}. Install them as root and run this again."
        exit 1
    fi
    echo "Installing ${missing[*]} and the packages they need"
    # The whole of apt's output is kept for when it fails.
    log=$(mktemp)
    if ! { "${sudo[@]}" apt-get update -q && DEBIAN_FRONTEND=noninteractive \
        "${sudo[@]}" apt-get install -y -q "${missing[@]}"; } 2>&1 | tee "$log" | show_progress; then
        cat "$log"
        rm -f "$log"
        exit 1
    fi
    rm -f "$log"
fi

configure=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if $for_running; then
    # A build directory of its own leaves out the tests, whose packages are
    # not installed; one that has them keeps them. Whatever is built, all of
    # it is: a changed rule removes its old output (the manual page after a
    # commit) at configure time, and cmake --install needs it back.
    [ -f "$build_dir/CMakeCache.txt" ] || configure+=(-DQUORLIN_TESTS=OFF)
    # The manual page's help2man is a test-time package: its warning would
    # only alarm someone who wants to see a picture.
    configure+=(--log-level=ERROR)
else
    configure+=(-DQUORLIN_TESTS=ON)
fi
echo "Configuring $build_dir"
cmake -S "$root" -B "$build_dir" "${configure[@]}" "$@" >/dev/null
cmake --build "$build_dir" -j"$(nproc)"
