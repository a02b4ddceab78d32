#!/bin/sh
# Times ffprobe counting the packets of the one-hour MP3 that bench/mp3_scan made (run that
# first), for comparison with our frame list. Usage: mp3_scan_ffprobe.sh [FILE] (default:
# build/bench-cache/one-hour-128k.mp3 beside this folder); RUNS=n sets the number of runs.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
file=${1:-$here/../build/bench-cache/one-hour-128k.mp3}
runs=${RUNS:-5}
if [ ! -f "$file" ]; then
  echo "no $file: run the mp3_scan benchmark first" >&2
  exit 1
fi
bytes=$(stat -c %s "$file")
best=""
total=0
i=0
while [ "$i" -lt "$runs" ]; do
  start=$(date +%s%N)
  packets=$(ffprobe -v error -select_streams a:0 -count_packets \
    -show_entries stream=nb_read_packets -of default=nw=1:nk=1 "$file")
  end=$(date +%s%N)
  ms=$(( (end - start) / 1000000 ))
  total=$((total + ms))
  if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
  i=$((i + 1))
done
mean=$((total / runs))
echo "ffprobe -count_packets: $packets packets in $bytes bytes"
echo "best ${best} ms, mean ${mean} ms over $runs runs"
awk -v b="$bytes" -v ms="$best" 'BEGIN { if (ms > 0) printf "%.1f MB/s (best run)\n", b / 1e6 / (ms / 1000) }'
