# Sourced by ./run and ./test: installs the Debian packages the build and the tests need.
LOGDUMP_PACKAGES=(
    cmake g++ ninja-build pkg-config
    qt6-base-dev qt6-serialport-dev qt6-charts-dev libqt6opengl6-dev libgl-dev
    libqt6sql6-sqlite libqt6sql6-psql postgresql libxlsxwriter-dev zlib1g-dev libgtest-dev libgmock-dev
    python3 python3-openpyxl xvfb xauth x11-utils imagemagick
    fonts-dejavu-core poppler-utils
    clang libclang-rt-14-dev
)

ensure_packages() {
    local missing=() p
    for p in "${LOGDUMP_PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    echo "Installing: ${missing[*]}" >&2
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q >&2 || true
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -q --no-install-recommends "${missing[@]}" >&2
}

# build DIR [cmake options...]: configures and builds. Options once set stay in DIR's cache, so
# each command builds with its own fixed options into its own folder (./run build/, ./test
# build-test/, the sanitizers build-asan/).
build_tree() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@" >&2
    cmake --build "$dir" -j2 >&2
}
