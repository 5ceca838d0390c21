#!/usr/bin/env bash
# Runs every libFuzzer program for a few seconds (FUZZ_SECONDS, default 3)
# over its committed seeds in the sanitizer build of scripts/fuzz.sh, so that
# an input that once crashed a decoder, and any crash a seed reaches, fails
# the tests. Only the fuzz programs and the libraries under them are built.
set -uo pipefail
cd "$(dirname "$0")/.."
exec scripts/fuzz.sh "${FUZZ_SECONDS:-3}"
