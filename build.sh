#!/usr/bin/env bash
# Builds Vesk and either starts it or runs every test.
#   ./build.sh run    install what is missing, build, start Vesk
#   ./build.sh test   install what is missing, build, run every test (no display needed)
#   ./build.sh package  build a Debian package (build-package/vesk_*.deb)
# Extra arguments after "run" are passed to vesk (for example: ./build.sh run list).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build_dir=${VESK_BUILD_DIR:-$here/build}
action=${1:-run}
shift || true

packages=(cmake g++ make qt6-base-dev qt6-svg-dev qt6-qpa-plugins
          libsqlite3-dev libgl-dev fonts-dejavu-core xvfb xauth
          desktop-file-utils appstream man-db dpkg-dev fakeroot)

install_missing() {
    local missing=()
    for package in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
            || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing missing Debian packages: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build() {
    cmake -S "$here" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$build_dir" -j"$(nproc)"
}

case "$action" in
run)
    install_missing
    build
    if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ "${1:-}" != "list" ]; then
        echo "No display found: starting Vesk under xvfb-run."
        exec xvfb-run -a "$build_dir/src/vesk" "$@"
    fi
    exec "$build_dir/src/vesk" "$@"
    ;;
test)
    install_missing
    build
    cd "$build_dir"
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)"
    ;;
package)
    install_missing
    # A build of its own, installed under /usr, without the tests.
    package_dir=${VESK_PACKAGE_DIR:-$here/build-package}
    cmake -S "$here" -B "$package_dir" -DCMAKE_BUILD_TYPE=Release -DVESK_BUILD_TESTS=OFF \
        -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
    cmake --build "$package_dir" -j"$(nproc)"
    (cd "$package_dir" && cpack -G DEB)
    ls "$package_dir"/vesk_*.deb
    ;;
*)
    echo "usage: $0 run|test|package" >&2
    exit 2
    ;;
esac
