# Shared by scripts/run, scripts/test and the other scripts: installs the Debian packages Tarnwick
# needs when any is missing, then configures and builds. Source it; it defines tarnwick_build.
set -euo pipefail

TARNWICK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
TARNWICK_PACKAGES=(
    cmake ninja-build g++ pkg-config ccache
    qt6-base-dev qt6-qpa-plugins libgl-dev
    libicu-dev libcli11-dev libgtest-dev libgmock-dev libbenchmark-dev
    libchm-dev libchm1 libjemalloc-dev fp-utils clang libclang-rt-14-dev
    fonts-dejavu-core
    shared-mime-info desktop-file-utils xdg-utils libglib2.0-bin
)

tarnwick_install_packages() {
    local missing=()
    local pkg
    for pkg in "${TARNWICK_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q '^install ok installed$'; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
}

# tarnwick_build BUILD_DIR [cmake options...]: configures once, then builds incrementally.
tarnwick_build() {
    local dir=$1
    shift
    local launcher=()
    command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        cmake -S "$TARNWICK_ROOT" -B "$dir" -G Ninja "${launcher[@]}" "$@" >/dev/null
    else
        cmake "$dir" "$@" >/dev/null
    fi
    # Paths relative to the checkout let ccache reuse objects across checkouts of the tree.
    CCACHE_BASEDIR="$TARNWICK_ROOT" cmake --build "$dir" -j "$(nproc)"
}
