#!/usr/bin/env bash
# The program's main job: builds everything, makes two short demo songs (sox and lame, kept in
# build/demo/songs), publishes them as one player with the compact bar and the Ruffle emulator
# copied beside the page (build/demo/site), and prints the page's path. With --serve it then
# serves that folder on 127.0.0.1 and prints the address to open.
set -euo pipefail
cd "$(dirname "$0")"

serve=0
for arg in "$@"; do
  case "$arg" in
    --serve) serve=1 ;;
    *) echo "usage: ./run.sh [--serve]" >&2; exit 2 ;;
  esac
done
port="${TW_DEMO_PORT:-8000}"

scripts/deps.sh build demo

# The emulator the program ships (the preview, and a copying page takes it along): the npm
# package ruffle/package.json pins; the build copies it into the program folder.
scripts/ruffle.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTW_BUILD_TESTS=OFF -DTW_BUILD_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)"
cli=build/lib/tunewright/tunewright-cli

# Two short songs, made once: a rising and a falling run of plucked notes.
songs=build/demo/songs
mkdir -p "$songs"
make_song() {  # NAME TITLE NOTES...
  local name="$1" title="$2"
  shift 2
  [ -s "$songs/$name.mp3" ] && return
  local notes=() i=0
  for note in "$@"; do
    notes+=("$songs/$name-$i.wav")
    sox -q -n -r 44100 -c 2 -b 16 "$songs/$name-$i.wav" synth 0.45 pluck "$note" vol 0.6
    i=$((i + 1))
  done
  sox -q "${notes[@]}" "$songs/$name.wav" reverb 30
  rm -f "${notes[@]}"
  lame --quiet -b 96 --tt "$title" --ta "Tunewright" --tl "Demo" "$songs/$name.wav" "$songs/$name.mp3"
  rm -f "$songs/$name.wav"
}
make_song rising "Rising" C4 E4 G4 C5 E5 G5 C6 G5 E5 C5 G4 E4 C4
make_song falling "Falling" A5 F5 D5 A4 F4 D4 A3 D4 F4 A4 D5 F5 A5

site=build/demo/site
rm -rf "$site"
mkdir -p "$site"
echo "run.sh: publishing the demo into $site"
"$cli" publish --option single --template compact.swf --ruffle copy --name demo.swf \
  --output-folder "$site" "$songs/rising.mp3" "$songs/falling.mp3"

page="$(cd "$site" && pwd)/demo.html"
if [ ! -s "$site/demo.swf" ]; then
  echo "run.sh: the player movie demo.swf was not made: this build cannot make the stage movie" \
       "yet (see the messages above), so the page has nothing to play." >&2
  exit 1
fi
if [ ! -s "$site/ruffle/ruffle.js" ]; then
  echo "run.sh: the Ruffle emulator was not copied beside the page (see the messages above)." >&2
  exit 1
fi
echo "Page: $page"

if [ "$serve" -eq 1 ]; then
  echo "Serving $site at http://127.0.0.1:$port/demo.html (Ctrl-C stops)"
  exec python3 -m http.server "$port" --bind 127.0.0.1 --directory "$site"
fi
