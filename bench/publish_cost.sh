#!/usr/bin/env bash
# The publish run's own cost beyond the engines, and what songs at work side by side gain:
# publishes 20 short songs with re-encoding (MP3 files, then FLV files), one song after another
# (--jobs 1) and one song per core (--jobs N), and prints each run's wall time against the time
# its lame and ffmpeg processes ran (summed, and the wall time during which at least one ran:
# what is left is the program's own share), and the same encoder commands run alone.
# Usage: bench/publish_cost.sh [BUILD_DIR] [JOBS]   (JOBS: the songs at work at once, default nproc)
set -euo pipefail
build=${1:-build}
jobs=${2:-$(nproc)}
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

declare -A wall
run() {  # format jobs
  local out="$work/out-$1-$2" start end json
  start=$(now)
  json=$("$cli" publish --json --jobs "$2" --format "$1" --output-folder "$out" "${songs[@]}" 2>/dev/null)
  end=$(now)
  local runs seconds busy
  runs=$(printf '%s\n' "$json" | sed -n 's/.*"runs": \([0-9]*\).*/\1/p')
  seconds=$(printf '%s\n' "$json" | sed -n 's/.*"seconds": \([0-9.e+-]*\).*/\1/p')
  busy=$(printf '%s\n' "$json" | sed -n 's/.*"busySeconds": \([0-9.e+-]*\).*/\1/p')
  wall[$1-$2]=$(awk -v t0="$start" -v t1="$end" 'BEGIN { printf "%.3f", t1 - t0 }')
  awk -v f="$1" -v j="$2" -v t0="$start" -v t1="$end" -v n="$runs" -v e="$seconds" -v b="$busy" 'BEGIN {
    total = t1 - t0
    printf "%-4s --jobs %-2d %2d engine runs: total %6.2f s, engines %6.2f s (busy %6.2f s), the run itself %5.2f s (%4.1f%%, %3.0f ms a song)\n",
      f, j, n, total, e, b, total - b, 100 * (total - b) / total, 1000 * (total - b) / 20 }'
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

echo "20 songs of 5 s, re-encoded at 22050 Hz, 24 kbps, mono ($(nproc) cores; load $(cut -d' ' -f1-3 /proc/loadavg))"
alone
for format in mp3 flv; do
  run "$format" 1
  run "$format" "$jobs"
  awk -v f="$format" -v j="$jobs" -v a="${wall[$format-1]}" -v b="${wall[$format-$jobs]}" \
    'BEGIN { printf "%-4s --jobs %d takes %.2f of the time of --jobs 1\n", f, j, b / a }'
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
