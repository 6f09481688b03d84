#!/usr/bin/env bash
# Makes the README's picture from the real program under Xvfb: the window
# after "Karma +6" and a roll of "Stufe 40". The dice are real, so each run
# shows another roll. QT_SCALE_FACTOR and the like pass through.
#   screenshot.sh [PATH/TO/velmora] [OUTPUT.png]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/harness.sh"
source "$root/scripts/xsession.sh"
harness screenshot "${1:-$(ls "$root"/build/{default,test}/velmora 2>/dev/null | head -1)}"
output=${2:-$root/docs/velmora.png}
start_x_session
start_program env
click_at 168 60   # Karma +6
click_at 392 492  # Stufe 40
import -window "$window" "$output"
echo "screenshot: wrote $output"
