#!/bin/sh
# Times ffprobe counting the packets of the one-hour MP3 that bench/mp3_scan made (run that
# first) beside `tunewright-cli info --frames` listing its frames, both as whole processes: the
# median wall and CPU time of RUNS runs each (whole_runs.py) and our share of ffprobe's. The
# machine's load is shown before and after: on a shared machine only figures taken under a like
# load compare.
# Usage: mp3_scan_ffprobe.sh [FILE [BUILD]] (default: build/bench-cache/one-hour-128k.mp3 and
# build beside this folder); RUNS=n sets the number of runs (default 9).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
file=${1:-$here/../build/bench-cache/one-hour-128k.mp3}
build=${2:-$here/../build}
runs=${RUNS:-9}
cli=$build/tunewright-cli
[ -x "$cli" ] || cli=$(find "$build" -name tunewright-cli -type f -perm -u+x | head -n 1)
if [ ! -f "$file" ]; then
  echo "no $file: run the mp3_scan benchmark first" >&2
  exit 1
fi
field() { sed -n "s/.* $1 \\([0-9.]*\\) s.*/\\1/p"; }
echo "load before: $(uptime)"
echo "$(basename "$file"): $(stat -c %s "$file") bytes"
echo "ffprobe -count_packets: $(ffprobe -v error -select_streams a:0 -count_packets \
  -show_entries stream=nb_read_packets -of default=nw=1:nk=1 "$file") packets"
"$cli" info --frames "$file" | grep '^Frames:' || true
theirs=$("$here/whole_runs.py" "$runs" ffprobe ffprobe -v error -select_streams a:0 -count_packets \
  -show_entries stream=nb_read_packets -of default=nw=1:nk=1 "$file")
ours=$("$here/whole_runs.py" "$runs" "info --frames" "$cli" info --frames "$file")
echo "$theirs"
echo "$ours"
awk -v a="$(echo "$ours" | field wall)" -v b="$(echo "$theirs" | field wall)" \
  -v c="$(echo "$ours" | field cpu)" -v d="$(echo "$theirs" | field cpu)" \
  'BEGIN { if (b > 0) printf "info --frames / ffprobe: wall %.3f", a / b;
           if (d > 0) printf ", cpu %.3f", c / d; print "" }'
echo "load after: $(uptime)"
