#!/usr/bin/env bash
# Installs the Debian packages a step needs when they are missing: `deps.sh build` for building
# the programs (the desktop window with Qt 6 among them), `deps.sh demo` for the main job's demo (songs made with sox, the Ruffle emulator
# from npm, a local web server), `deps.sh test` for building and running every test.
set -euo pipefail

build=(g++ cmake ninja-build pkg-config zlib1g-dev libcli11-dev libfmt-dev libpugixml-dev
       libjpeg62-turbo-dev libpng-dev libgif-dev libfreetype-dev libfontconfig-dev
       qt6-base-dev qt6-multimedia-dev qt6-webengine-dev fonts-dejavu-core)
# What the window needs to run: the sound of listening goes through GStreamer.
window=(gstreamer1.0-plugins-base gstreamer1.0-plugins-good)
engines=(lame ffmpeg)
test=(googletest libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev sox
      libsox-fmt-mp3 openssl chromium libjpeg-turbo-progs xvfb xauth xdotool imagemagick
      fonts-urw-base35)
demo=(sox python3)

wanted=()
for group in "$@"; do
  case "$group" in
    build) wanted+=("${build[@]}" "${engines[@]}" "${window[@]}") ;;
    demo) wanted+=("${demo[@]}") ;;
    test) wanted+=("${build[@]}" "${engines[@]}" "${window[@]}" "${test[@]}") ;;
    *) echo "deps.sh: unknown group $group" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# Node.js and npm may come from elsewhere than Debian; only their commands matter.
if [[ " $* " == *" test "* || " $* " == *" demo "* ]]; then
  command -v node >/dev/null || missing+=(nodejs)
  command -v npm >/dev/null || missing+=(npm)
fi
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing Debian packages: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "deps.sh: run as root to install ${missing[*]}" >&2; exit 1; }
  sudo=sudo
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
