#!/bin/sh
# Times `tunewright-cli music-movie` on the MP3s that bench/music_movie made (run that first)
# beside `ffmpeg -i song.mp3 -c:a copy song.swf` on the same file, both as whole processes: the
# median wall and CPU time and the median peak memory (maximum resident set size) of RUNS runs
# each (whole_runs.py), and our share of ffmpeg's time. The machine's load is shown before and
# after: on a shared machine only figures taken under a like load compare.
# Usage: music_movie_whole.sh [BUILD] (default: build beside this folder); RUNS=n (default 5).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
cli=$build/tunewright-cli
runs=${RUNS:-5}
[ -x "$cli" ] || cli=$(find "$build" -name tunewright-cli -type f -perm -u+x | head -n 1)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The working copies of the command go to a documents folder of their own.
export XDG_CONFIG_HOME="$work/config" HOME="$work/home"
mkdir -p "$HOME"
wall() { sed -n 's/.* wall \([0-9.]*\) s.*/\1/p'; }
echo "load before: $(uptime)"
for song in "$build/bench-cache/five-minutes-128k.mp3" "$build/bench-cache/60-minutes-128k.mp3"; do
  [ -f "$song" ] || { echo "no $song: run the music_movie benchmark first" >&2; exit 1; }
  echo "$(basename "$song"): $(stat -c %s "$song") bytes"
  ours=$("$here/whole_runs.py" "$runs" tunewright "$cli" music-movie "$song" "$work/ours.swf")
  theirs=$("$here/whole_runs.py" "$runs" ffmpeg ffmpeg -v error -nostdin -y -i "$song" -c:a copy "$work/ffmpeg.swf")
  echo "$ours"
  echo "$theirs"
  awk -v a="$(echo "$ours" | wall)" -v b="$(echo "$theirs" | wall)" \
    'BEGIN { if (b > 0) printf "tunewright / ffmpeg (median wall): %.2f\n", a / b }'
  echo "movie sizes: ours $(stat -c %s "$work/ours.swf"), ffmpeg $(stat -c %s "$work/ffmpeg.swf") bytes"
done
echo "load after: $(uptime)"
