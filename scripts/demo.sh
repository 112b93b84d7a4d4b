#!/usr/bin/env bash
# The README's first command: writes the example board and runs the DC, thermal
# and impedance analyses on it, then the user guide's walk-through on a board
# built from the bitmaps in examples/. Everything lands in demo-out/.
set -euo pipefail
build=${1:-build}
cli="$(pwd)/$build/bin/korvex-cli"
sim="$(pwd)/$build/bin/korvex-sim"
out=demo-out
rm -rf "$out"
mkdir -p "$out/work"
summary="$out/summary.txt"
common=(--workdir "$out/work" --simulator "$sim")

"$cli" example "$out/demo.sav" | tee "$summary"
{
  echo
  echo "== Board"
  "$cli" info "$out/demo.sav"
  echo
  echo "== DC voltage drop and current density"
  "$cli" dc "$out/demo.sav" "${common[@]}" --bmps "$out/dc" --save
  echo
  echo "== Temperatures"
  "$cli" thermal "$out/demo.sav" "${common[@]}" --bmps "$out/thermal" --save
  echo
  echo "== Impedance at port 0"
  "$cli" ac "$out/demo.sav" "${common[@]}" --mode zin --csv "$out/zin.csv"
} | tee -a "$summary"
{
  echo
  echo "== The user guide's walk-through: a board from examples/power.bmp and examples/ground.bmp"
  ./examples/walkthrough.sh "$cli" "$sim" "$out/walkthrough"
} | tee -a "$summary"
echo
echo "Results in $out/: summary.txt, zin.csv, dc/ and thermal/ bitmaps, demo.sav with the results stored;"
echo "the walk-through's board, maps, curves and plots in $out/walkthrough/ (see docs/user-guide.md)."
