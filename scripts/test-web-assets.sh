#!/usr/bin/env bash
# Checks the installed web assets (message catalogue, scripts, images, help
# pages) against the names the console's pages use, and, where Python is at
# hand, that the committed images are what scripts/make-images.py draws.
set -euo pipefail
cd "$(dirname "$0")/.."
scratch=$(mktemp -d); trap 'rm -rf "$scratch"' EXIT
command -v node >/dev/null || scripts/install-deps.sh nodejs
status=0
node --test scripts/web-assets.test.js >"$scratch/log" 2>&1 || status=$?
grep -B2 -A12 '^ *not ok' "$scratch/log" || true
pass=$(sed -n 's/^# pass //p' "$scratch/log"); fail=$(sed -n 's/^# fail //p' "$scratch/log")
echo "asset checks: ${pass:-0} passed, ${fail:-0} failed"
[ "$status" -eq 0 ] || exit 1
if command -v python3 >/dev/null; then
  python3 scripts/make-images.py "$scratch/web" >/dev/null
  for f in $(cd "$scratch/web" && find . -name '*.gif' -o -name '*.ico'); do
    cmp -s "$scratch/web/$f" "install/web/$f" || {
      echo "stale image install/web/${f#./}: run scripts/make-images.py"; exit 1; }
  done
fi
