#!/usr/bin/env bash
# Times the refusal of requests over the request limits: each case runs
# operadmin.cgi as a web server would, with the body on standard input, and
# must be answered with status 413 within 0.5 s and under 50 MB of peak
# memory, leaving nothing in the temporary folder. A last case sends a large
# upload without a session, which is read and dropped (not a refusal).
# Usage: scripts/bench-limits.sh   (builds operadmin.cgi in build/, BUILD_DIR to change)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh time python3 >/dev/null  # GNU time measures each request
build=${BUILD_DIR:-build}
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j"${JOBS:-2}" --target operadmin.cgi >/dev/null
program=$(cd "$build/bin" && pwd)/operadmin.cgi
work=$(mktemp -d /tmp/za-limits.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/tmp" "$work/run"

# Bodies, made once.
python3 - "$work" <<'PY'
import sys
work = sys.argv[1]
def write(name, data):
    with open(f"{work}/{name}", "wb") as f:
        f.write(data)
fields = b"&".join(b"p%d=v" % (i % 1000) for i in range(3_000_000))
write("form-32mb", fields + b"x" * max(0, 32_000_000 - len(fields)))
write("form-many", b"&".join(b"a=%d" % i for i in range(100_000)))
write("form-long", b"a=" + b"v" * (1 << 20))
part = b"--B\r\nContent-Disposition: form-data; name=\"f\"\r\n\r\nv\r\n"
write("multi-many", part * 20_000 + b"--B--\r\n")
upload = (b"--B\r\nContent-Disposition: form-data; name=\"up\"; filename=\"big.bin\"\r\n\r\n" +
          b"z" * (60 << 20) + b"\r\n--B--\r\n")
write("multi-60mb", upload)
PY

failed=0
printf '%-44s %8s %10s %s\n' case seconds "peak KB" status
run() { # label, body file, declared length, content type, refusal expected (1/0)
  local label=$1 body=$2 length=$3 type=$4 refuse=$5
  local out=$work/out stats=$work/stats
  (cd "$work/run" && env -i REQUEST_METHOD=POST CONTENT_LENGTH="$length" CONTENT_TYPE="$type" \
     QUERY_STRING=program=front TMPDIR="$work/tmp" /usr/bin/time -f '%e %M' -o "$stats" "$program" \
     <"$body" >"$out" 2>/dev/null) || true
  read -r secs kb <"$stats"
  local status=$(sed -n 's/^Status: \([0-9]*\).*/\1/p' "$out" | head -n1)
  local verdict=ok
  if [ "$refuse" = 1 ]; then
    [ "$status" = 413 ] && awk "BEGIN { exit !($secs < 0.5) }" && [ "$kb" -lt 51200 ] || verdict=FAIL
  fi
  [ -z "$(ls -A "$work/tmp")" ] || verdict="FAIL (files left in the temporary folder)"
  [ "$verdict" = ok ] || failed=1
  printf '%-44s %8s %10s %s %s\n' "$label" "$secs" "$kb" "${status:-200}" "$verdict"
}
form=application/x-www-form-urlencoded multi="multipart/form-data; boundary=B"
run "32 MB form, 3,000,000 fields" "$work/form-32mb" "$(stat -c %s "$work/form-32mb")" "$form" 1
run "form of 100,000 fields (588 KB)" "$work/form-many" "$(stat -c %s "$work/form-many")" "$form" 1
run "form with a 1 MB value" "$work/form-long" "$(stat -c %s "$work/form-long")" "$form" 1
run "300 MB upload declared" "$work/form-long" 314572800 "$multi" 1
run "multipart of 20,000 fields" "$work/multi-many" "$(stat -c %s "$work/multi-many")" "$multi" 1
run "60 MB upload without a session (dropped)" "$work/multi-60mb" "$(stat -c %s "$work/multi-60mb")" "$multi" 0
exit $failed
