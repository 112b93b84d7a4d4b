#!/usr/bin/env bash
# The README's first command: builds everything and shows KORVEX at work on the
# example board kept in examples/.
set -euo pipefail
build=${1:-build}
cli="$build/bin/korvex-cli"
mkdir -p demo-out
if [ -f examples/demo.sav ]; then
  "$cli" info examples/demo.sav | tee demo-out/info.txt
else
  "$cli" --help
fi
