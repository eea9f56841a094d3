#!/usr/bin/env bash
# One entry point for people and CI:
#   scripts/dev.sh run          install what is missing, build, launch Mixwarden
#   scripts/dev.sh test [PRESET] install what is missing, build, run every test (PRESET: default, asan, tsan)
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(g++ cmake ninja-build ccache pkg-config
          qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev libglib2.0-dev
          libasound2-dev libjack-jackd2-dev jackd2
          libgtest-dev libgmock-dev libbenchmark-dev
          xvfb xauth xdg-utils)

install_missing() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

build() {
  local preset=$1
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
}

cmd=${1:-}
case "$cmd" in
  run)
    install_missing
    build default
    # Sample plug-ins ship in the build tree; the MIDI layer falls back to its embedded
    # service when the machine has no sequencer.
    export MW2_PLUGIN_DIR=${MW2_PLUGIN_DIR:-$PWD/build/plugins}
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
      echo "No display: starting Mixwarden under Xvfb"
      exec xvfb-run -a ./build/bin/mixwarden "${@:2}"
    fi
    exec ./build/bin/mixwarden "${@:2}"
    ;;
  test)
    preset=${2:-default}
    install_missing
    build "$preset"
    ctest --preset "$preset"
    ;;
  *)
    echo "usage: scripts/dev.sh run | test [default|asan|tsan]" >&2
    exit 2
    ;;
esac
