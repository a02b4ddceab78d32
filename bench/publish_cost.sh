#!/usr/bin/env bash
# The publish run's own cost beyond the engines: publishes 20 short songs with re-encoding (MP3
# files, then FLV files) and prints the run's total time against the summed wall time of the
# lame and ffmpeg processes it started, and against the same engine commands run alone.
# Usage: bench/publish_cost.sh [BUILD_DIR]
set -euo pipefail
build=${1:-build}
cli="$build/lib/tunewright/tunewright-cli"
[ -x "$cli" ] || { echo "no $cli: build first" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_DOCUMENTS_DIR="$work/docs" XDG_CONFIG_HOME="$work/config"
mkdir -p "$work/songs"
songs=()
for i in $(seq -w 1 20); do
  sox -n -r 44100 -c 2 -b 16 "$work/songs/song $i.wav" synth 5 sine $((200 + 10#$i * 20))
  songs+=("$work/songs/song $i.wav")
done

now() { date +%s.%N; }

run() {  # format
  local out="$work/out-$1" start end json
  start=$(now)
  json=$("$cli" publish --json --format "$1" --output-folder "$out" "${songs[@]}" 2>/dev/null)
  end=$(now)
  local runs seconds
  runs=$(printf '%s\n' "$json" | sed -n 's/.*"runs": \([0-9]*\).*/\1/p')
  seconds=$(printf '%s\n' "$json" | sed -n 's/.*"seconds": \([0-9.e+-]*\).*/\1/p')
  awk -v f="$1" -v t0="$start" -v t1="$end" -v n="$runs" -v e="$seconds" 'BEGIN {
    total = t1 - t0
    printf "%-4s %2d engine runs: total %6.2f s, engines %6.2f s, the run itself %5.2f s (%4.1f%%, %3.0f ms a song)\n",
      f, n, total, e, total - e, 100 * (total - e) / total, 1000 * (total - e) / 20 }'
}

alone() {  # the same encoder commands, one after another, without the run
  local start end
  start=$(now)
  for s in "${songs[@]}"; do
    lame --resample 22.05 -b 24 -m m "$s" "$work/alone.mp3" 2>/dev/null
  done
  end=$(now)
  awk -v t0="$start" -v t1="$end" 'BEGIN { printf "lame alone, 20 songs: %6.2f s\n", t1 - t0 }'
}

echo "20 songs of 5 s, re-encoded at 22050 Hz, 24 kbps, mono ($(nproc) cores)"
alone
run mp3
run flv
