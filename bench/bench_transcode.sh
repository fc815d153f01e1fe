#!/usr/bin/env bash
# Times the transcoder adapter's conversion line against the same conversion
# run as one direct ffmpeg command, on a 60-second 1280x720 clip, and prints
#   adapter_vs_ffmpeg_ratio=<adapter time / ffmpeg time>
# Usage: bench/bench_transcode.sh [dist folder]   (default: build/dist)
set -euo pipefail
cd "$(dirname "$0")/.."
dist="${1:-${TESSALINE_DIST_DIR:-build/dist}}"
adapter="$dist/transcoder.dll"
[ -x "$adapter" ] || { echo "no adapter at $adapter (build the tool_transcoder target)" >&2; exit 1; }

work="$(mktemp -d "${TMPDIR:-/tmp}/tl-bench-transcode.XXXXXX")"
trap 'rm -rf "$work"' EXIT

ffmpeg -nostdin -hide_banner -loglevel error -y \
  -f lavfi -i testsrc2=s=1280x720:r=25:d=60 -f lavfi -i sine=f=440:d=60 \
  -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -shortest "$work/clip.mp4"

now() { date +%s.%N; }

# What the adapter runs for "-target pal-dvd -b 6400k -aspect 4:3" on this clip.
fit="scale=w='if(gte(dar,4/3),720,2*trunc(720*dar/(4/3)/2+0.5))':h='if(gte(dar,4/3),2*trunc(576*(4/3)/dar/2+0.5),576)',pad=720:576:(ow-iw)/2:(oh-ih)/2:black,setsar=16/15"

start=$(now)
ffmpeg -nostdin -hide_banner -loglevel error -y -i "file:$work/clip.mp4" \
  -filter_complex "[0:0]$fit[v]" -map '[v]' -map 0:1 \
  -target pal-dvd -b:v 6400k -maxrate 9000k -bufsize 1835k -aspect 4:3 "file:$work/direct.mpg"
direct=$(awk -v a="$(now)" -v b="$start" 'BEGIN { print a - b }')

start=$(now)
"$adapter" -p 4061775 -i "$work/clip.mp4" -target pal-dvd -b 6400k -aspect 4:3 "$work/adapter.mpg" 2>/dev/null
adapted=$(awk -v a="$(now)" -v b="$start" 'BEGIN { print a - b }')

printf 'ffmpeg_seconds=%.2f\nadapter_seconds=%.2f\n' "$direct" "$adapted"
awk -v a="$adapted" -v d="$direct" 'BEGIN { printf "adapter_vs_ffmpeg_ratio=%.3f\n", a / d }'
