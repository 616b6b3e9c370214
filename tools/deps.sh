# Sourced by run.sh, test.sh and .ci/run: installs the Debian packages a step needs when they
# are missing, with sudo when not root.
# Usage: need_packages pkg...

apt_updated=0

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

package_installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

# The maintained SDL 1.2 API over SDL2 where the distribution has it, classic SDL 1.2 otherwise.
sdl_package() {
    if package_installed libsdl1.2-compat-dev || package_installed libsdl1.2-dev; then
        package_installed libsdl1.2-compat-dev && echo libsdl1.2-compat-dev || echo libsdl1.2-dev
        return
    fi
    ensure_apt_lists
    if apt-cache show libsdl1.2-compat-dev >/dev/null 2>&1; then
        echo libsdl1.2-compat-dev
    else
        echo libsdl1.2-dev
    fi
}

ensure_apt_lists() {
    if [ "$apt_updated" -eq 0 ]; then
        as_root apt-get -o DPkg::Lock::Timeout=600 update -qq
        apt_updated=1
    fi
}

need_packages() {
    local missing=()
    local p
    for p in "$@"; do
        package_installed "$p" || missing+=("$p")
    done
    [ "${#missing[@]}" -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    ensure_apt_lists
    as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends \
        "${missing[@]}"
}

BUILD_PACKAGES=(build-essential cmake pkg-config libpng-dev)
TEST_PACKAGES=(googletest libgtest-dev libbenchmark-dev xvfb xauth xdotool imagemagick sox
               libx11-dev)
# fontgen and the check that it remakes the committed glyph table from this font.
TEST_PACKAGES+=(libfreetype-dev fonts-dejavu-core)
# FFmpeg's libraries, for capture --video (without them capture builds and refuses --video).
VIDEO_PACKAGES=(libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev)
TEST_PACKAGES+=("${VIDEO_PACKAGES[@]}")

# The browser build (tools/web.sh) and its check in Chromium. Node.js's own npm comes with it
# where Node.js is not Debian's; Debian has it as a separate package.
WEB_BUILD_PACKAGES=(emscripten cmake)
WEB_PACKAGES=("${WEB_BUILD_PACKAGES[@]}" chromium)
command -v npm >/dev/null 2>&1 || WEB_PACKAGES+=(npm)
TEST_PACKAGES+=("${WEB_PACKAGES[@]}")
