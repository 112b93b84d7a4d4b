#!/usr/bin/env bash
# The walk-through of docs/user-guide.md: a board made from two bitmaps
# (power.bmp, ground.bmp beside this script), parts placed, every analysis run.
#   examples/walkthrough.sh KORVEX-CLI KORVEX-SIM OUT-FOLDER
set -euo pipefail
cli=$(realpath "$1")
sim=$(realpath "$2")
out=$3
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out"
cd "$out"
run() { echo "\$ korvex-cli $*"; "$cli" "$@"; }

# 1. The board: 80 x 50 pixels of 1 mm, two copper layers, 0.2 mm of FR4 between them.
run new board.sav --pixels 80x50 --size 80x50mm --layers 2 --force
run stack board.sav --layer 1 --copper 35um --dielectric 200um --er 4.4 --df 0.02
run stack board.sav --layer 2 --copper 35um
run stack board.sav --materials TAmbient=25 ThermalConductivityFR4XY=0.3
run import-bmp board.sav --layer 1 "$here/power.bmp"
run import-bmp board.sav --layer 2 "$here/ground.bmp"

# 2. Parts. Positions are pixels; Layer / Net1Z are 0 for Layer1, 1 for Layer2.
#    Both planes are tied to ground ("0") at the regulator at (8, 25); the regulator
#    feeds 5 A into the power plane there, and the load at (70, 12) draws them.
run part add board.sav resistor Net1X=8 Net1Y=25 Net1Z=0 Net2X=8 Net2Y=25 Net2Z=0 Net2Name=0 Rser=1u
run part add board.sav resistor Net1X=8 Net1Y=25 Net1Z=1 Net2X=8 Net2Y=25 Net2Z=1 Net2Name=0 Rser=1u
run part add board.sav current Net1X=8 Net1Y=25 Net1Z=0 Net2X=70 Net2Y=12 Net2Z=0 Current=5A
run part add board.sav heatsource RectAX=64 RectAY=6 RectBX=74 RectBY=16 Power=2W Net=U1
run part add board.sav port x=70 y=12 Layer=0
run part add board.sav cap x=60 y=20 Layer=0 Capacitance=10uF ESR=5m ESL=1nH
run part list board.sav
run info board.sav

# 3. Settings of this folder: a short AC sweep.
run settings set StartFrequency=100kHz StopFrequency=1GHz NumberOfPoints=12 Steps=2
run settings show

# 4. The analyses.
run dc board.sav --simulator "$sim" --maps dc-maps --save
echo "\$ korvex-cli dc board.sav --json > dc.json"
"$cli" dc board.sav --simulator "$sim" --json > dc.json
run thermal board.sav --simulator "$sim" --maps thermal-maps --save
run ac board.sav --mode zin --simulator "$sim" --csv zin.csv --touchstone zin.s1p
run plot zin.csv -o zin.png
run plot zin.csv -o zin.svg
run ac board.sav --mode z-at --freq 100MHz --simulator "$sim" --maps z-maps --log --save
run maps board.sav all-maps --scale shared
echo "Walk-through done: results in $out"
