#!/usr/bin/env bash
# Sets up a Debian 12 machine for Arkavo, builds it, and then starts the program
# ("run"), runs every test ("test"), or runs every test in a build with the address and
# undefined-behaviour sanitizers ("sanitize", in build-asan/). Installs only the packages
# that are missing.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
action="${1:-run}"
build_dir="${ARKAVO_BUILD_DIR:-$here/build}"
cmake_args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DARKAVO_WERROR=ON)
if [ "$action" = sanitize ]; then
  build_dir="${ARKAVO_BUILD_DIR:-$here/build-asan}"
  cmake_args+=(-DARKAVO_SANITIZE=ON -DARKAVO_BUILD_BENCH=OFF)
fi

packages=(
  # build
  cmake ninja-build g++ pkg-config ccache qt6-base-dev libqt6sql6-sqlite libqt6sql6-psql
  libtiff-dev libjpeg62-turbo-dev libturbojpeg0-dev libqpdf-dev libleptonica-dev libsane-dev
  libsqlite3-dev libgtest-dev libbenchmark-dev
  # run and test
  libsane1 sane-utils sane-airscan xauth xvfb fonts-wqy-microhei xdg-utils qpdf poppler-utils
  adwaita-icon-theme ghostscript qt6-translations-l10n
  # the export tests read their outputs as other programs do; the benchmark compares
  libtiff-tools libxml2-utils python3 img2pdf
  # the catalogue tests start a PostgreSQL server of their own
  postgresql
  # the Debian package and its checks
  dpkg-dev desktop-file-utils lintian
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  as_root apt-get update -q
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

cmake -S "$here" -B "$build_dir" -G Ninja "${cmake_args[@]}" ${ARKAVO_CMAKE_ARGS:-}
cmake --build "$build_dir" --parallel "$(nproc)"

case "$action" in
  run)
    exec "$build_dir/bin/arkavo"
    ;;
  test | sanitize)
    cd "$build_dir"
    export QT_QPA_PLATFORM=offscreen
    status=0
    ctest --output-on-failure --parallel "$(nproc)" --timeout 600 --label-exclude scanner </dev/null || status=1
    # The scanner library's test device can hang inside the library itself: a scanner
    # test that times out is run again (twice at most).
    ctest --output-on-failure --parallel "$(nproc)" --timeout 600 --label-regex scanner \
      --repeat after-timeout:3 </dev/null || status=1
    exit "$status"
    ;;
  *)
    echo "usage: $0 run|test|sanitize" >&2
    exit 2
    ;;
esac
