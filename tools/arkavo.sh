#!/usr/bin/env bash
# Sets up a Debian 12 machine for Arkavo, builds it, and then starts the program
# ("run") or runs every test ("test"). Installs only the packages that are missing.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
action="${1:-run}"
build_dir="${ARKAVO_BUILD_DIR:-$here/build}"

packages=(
  # build
  cmake ninja-build g++ pkg-config ccache qt6-base-dev libqt6sql6-sqlite
  libtiff-dev libjpeg62-turbo-dev libqpdf-dev libleptonica-dev libsane-dev
  libsqlite3-dev libgtest-dev libbenchmark-dev
  # run and test
  libsane1 sane-utils sane-airscan xauth xvfb fonts-wqy-microhei xdg-utils qpdf
  adwaita-icon-theme ghostscript qt6-translations-l10n
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

cmake -S "$here" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DARKAVO_WERROR=ON ${ARKAVO_CMAKE_ARGS:-}
cmake --build "$build_dir" --parallel "$(nproc)"

case "$action" in
  run)
    exec "$build_dir/bin/arkavo"
    ;;
  test)
    cd "$build_dir"
    # A test that times out is run again (twice at most): the scanner library's test
    # device can hang inside the library itself.
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$(nproc)" --timeout 600 \
      --repeat after-timeout:3 </dev/null
    ;;
  *)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
