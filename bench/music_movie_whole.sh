#!/bin/sh
# Times `tunewright-cli music-movie` on the MP3s that bench/music_movie made (run that first)
# beside `ffmpeg -i song.mp3 -c:a copy song.swf` on the same file, both as whole
# processes, with their peak memory. Usage: music_movie_whole.sh [BUILD] (default: build beside
# this folder); RUNS=n sets the number of runs.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
cli=$build/tunewright-cli
runs=${RUNS:-3}
[ -x "$cli" ] || cli=$(find "$build" -name tunewright-cli -type f -perm -u+x | head -n 1)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The working copies of the command go to a documents folder of their own.
export XDG_CONFIG_HOME="$work/config" HOME="$work/home"
mkdir -p "$HOME"
measure() {
  name=$1; shift
  i=0
  while [ "$i" -lt "$runs" ]; do
    /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null 2>&1
    read -r secs kb < "$work/time"
    echo "$name: ${secs} s, peak ${kb} KB"
    i=$((i + 1))
  done
}
for song in "$build/bench-cache/five-minutes-128k.mp3" "$build/bench-cache/60-minutes-128k.mp3"; do
  [ -f "$song" ] || { echo "no $song: run the music_movie benchmark first" >&2; exit 1; }
  echo "$(basename "$song"): $(stat -c %s "$song") bytes"
  measure tunewright "$cli" music-movie "$song" "$work/ours.swf"
  measure ffmpeg ffmpeg -v error -nostdin -y -i "$song" -c:a copy "$work/ffmpeg.swf"
  echo "movie sizes: ours $(stat -c %s "$work/ours.swf"), ffmpeg $(stat -c %s "$work/ffmpeg.swf") bytes"
done
