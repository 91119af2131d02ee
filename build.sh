#!/usr/bin/env bash
# Builds Vesk and either starts it or runs every test.
#   ./build.sh run    install what is missing, build, start Vesk
#   ./build.sh test   install what is missing, build, run every test (no display needed)
#   ./build.sh package  build a Debian package (build-package/vesk_*.deb)
#   ./build.sh sanitize build with AddressSanitizer and UndefinedBehaviorSanitizer
#                       (build-sanitize/) and run every test under them
#   ./build.sh fuzz SECONDS  build the libFuzzer harnesses with clang (build-fuzz/)
#                       and run each for SECONDS
# Extra arguments after "run" are passed to vesk (for example: ./build.sh run list).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build_dir=${VESK_BUILD_DIR:-$here/build}
action=${1:-run}
shift || true

packages=(cmake g++ make qt6-base-dev qt6-svg-dev qt6-qpa-plugins qt6-wayland
          libsqlite3-dev libfyaml-dev libdtl-dev pkg-config libutf8proc-dev libgl-dev fonts-dejavu-core xvfb xauth
          desktop-file-utils appstream man-db dpkg-dev fakeroot git)

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
sanitize)
    install_missing
    # A build of its own: instrumented objects must not mix with the normal ones.
    # -fno-sanitize-recover makes undefined behaviour fail the test that met it
    # instead of printing a line that a passing test would hide.
    sanitize_dir=${VESK_SANITIZE_DIR:-$here/build-sanitize}
    flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
    cmake -S "$here" -B "$sanitize_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" >/dev/null
    cmake --build "$sanitize_dir" -j"$(nproc)"
    cd "$sanitize_dir"
    # Leaks are reported too; the suppressions name the few that belong to the
    # system libraries Qt loads, not to Vesk (see the file for why each is there).
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1"
    export LSAN_OPTIONS="suppressions=$here/tests/sanitizer/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" --timeout 600
    ;;
fuzz)
    seconds=${1:-}
    if ! [[ "$seconds" =~ ^[0-9]+$ ]]; then
        echo "usage: $0 fuzz SECONDS" >&2
        exit 2
    fi
    clang=$(command -v clang++ || command -v clang++-14 || true)
    if [ -z "$clang" ]; then
        echo "Skipping the fuzzers: clang++ is not installed (libFuzzer comes with clang)."
        exit 0
    fi
    install_missing
    # Vesk's own code is instrumented for coverage and checked by both sanitizers;
    # Qt, built with gcc, links in as it is (clang uses the same libstdc++).
    fuzz_dir=${VESK_FUZZ_DIR:-$here/build-fuzz}
    flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
    cmake -S "$here" -B "$fuzz_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="$clang" \
        -DCMAKE_CXX_FLAGS="$flags" -DVESK_BUILD_TESTS=OFF -DVESK_BUILD_FUZZERS=ON >/dev/null
    harnesses=(frontmatter artifactcategory highlighter listjson)
    cmake --build "$fuzz_dir" -j"$(nproc)" --target "${harnesses[@]/#/fuzz_}"
    export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
    for harness in "${harnesses[@]}"; do
        # New inputs go to a working corpus outside the tree; the seeds stay as
        # they are. A crash is written to fuzz-artifacts/ for fuzz/findings/.
        work="$fuzz_dir/corpus/$harness"
        mkdir -p "$work" "$fuzz_dir/fuzz-artifacts"
        echo "== fuzz_$harness for $seconds s"
        "$fuzz_dir/fuzz/fuzz_$harness" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
            -artifact_prefix="$fuzz_dir/fuzz-artifacts/$harness-" \
            "$work" "$here/fuzz/corpus/$harness" "$here/fuzz/findings/$harness"
    done
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
    echo "usage: $0 run|test|package|sanitize|fuzz SECONDS" >&2
    exit 2
    ;;
esac
