#!/usr/bin/env bash
# Byte-for-byte check of the console pages that list the directory or the
# log: "capture" runs every such request (each selection, the sorted and
# limited variants, empty results) against a seeded tree and keeps the pages;
# "compare" runs them again with the current build and reports the first
# differing byte of any page that changed. The tree and its log are made once
# per size and kept, so that a capture and a later compare see the same data.
# Usage: scripts/page-snapshots.sh capture|compare DIR [PEOPLE [GROUPS [NONCURRENT [LOGLINES]]]]
#        (default 3000 600 100 3000; BUILD_DIR, SNAP_TOP as in bench-console.sh;
#        CONSOLE_PROGRAM=path runs that operadmin.cgi instead of the one built)
# Pages above 1 MB are kept as their SHA-256 sum only. Only the HTML is kept:
# the header block carries the login's fresh session.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-} dir=${2:-}
case $mode in capture|compare) ;; *) sed -n '2,10p' "$0"; exit 2 ;; esac
[ -n "$dir" ] || { echo "page-snapshots.sh: DIR is missing" >&2; exit 2; }
people=${3:-3000} groups=${4:-600} leavers=${5:-100} loglines=${6:-3000}
build=${BUILD_DIR:-build}
top=${SNAP_TOP:-$build/page-snapshots-$people}
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j"${JOBS:-2}" --target operadmin.cgi suite.cgi zafiledblib_cgi zastore >/dev/null
top=$(mkdir -p "$top" && cd "$top" && pwd)
stamp="$people $groups $leavers"
if [ "$(cat "$top/seeded" 2>/dev/null)" != "$stamp" ]; then
  rm -rf "${top:?}"/*
  cmake --install "$build" --prefix "$top" >/dev/null
  "$top/bin/zastore" --top "$top" init >/dev/null
  "$top/bin/zastore" --top "$top" seed --people "$people" --groups "$groups" --noncurrent "$leavers" --seed 1 >/dev/null
  "$top/bin/zastore" --top "$top" person add snapop --name "Snapshot Operator" >/dev/null
  echo snappw | "$top/bin/zastore" --top "$top" account add snapop snapop --admin >/dev/null
  # Half the messages are an hour old, half a month: "the last 3 days" keeps
  # the same lines for days after the capture.
  awk -v n="$loglines" -v now="$(date +%s)" 'BEGIN {
    split("ZA_ERROR ZA_WARNING ZA_INFO ZA_AUDIT", level, " ");
    for (i = 0; i < n; i++) {
      t = now - (i % 2 ? 3600 : 30 * 86400) - i;
      printf "%s:OperAdmin:%s:snapshot message %d <b>&amp; http://x.example/%d\n", strftime("%d-%b-%y %H.%M.%S %Z", t), level[i % 4 + 1], i, i;
    }
  }' >"$top/snapshot-log"
  echo "$stamp" >"$top/seeded"
else
  cmake --install "$build" --prefix "$top" >/dev/null
fi
if [ -n "${CONSOLE_PROGRAM:-}" ]; then cp "$CONSOLE_PROGRAM" "$top/web/admin/bin/operadmin.cgi"; fi

zastore() { "$top/bin/zastore" --top "$top" "$@"; }
owner=$(zastore list groups | awk -F'\t' '$4 == "shared" && !o { o = $3 } END { print o }')
picked=$(zastore list accounts | awk -F'\t' 'NR % 97 == 5 { printf "&oper_uid_val=%s", $1 }')
requests=(
  "users-all program=genUserDiskUsage&selection=all_u"
  "users-over-1000 program=genUserDiskUsage&selection=gt_u&ubytes=1000"
  "users-over-0 program=genUserDiskUsage&selection=gt_u&ubytes=0"
  "users-over-huge program=genUserDiskUsage&selection=gt_u&ubytes=999999999999"
  "users-top-50 program=genUserDiskUsage&selection=top_u&users=50"
  "users-top-0 program=genUserDiskUsage&selection=top_u&users=0"
  "users-noncurrent program=genUserDiskUsage&selection=deleted_u"
  "users-selected program=genUserDiskUsage&selection=select_u$picked"
  "noncurrent-list program=genDeletedUsersPage"
  "user-ids-first program=genUid2NamePage"
  "user-ids-middle program=genUid2NamePage&last_count=$((people / 2))"
  "user-ids-last program=genUid2NamePage&last_count=$((people - 30))"
  "groups-all program=genGroupDiskUsage&selection=all_g"
  "groups-all-from-users program=genGroupDiskUsage&selection=all_g&fromPage=resSearchCondPage"
  "groups-top-50 program=genGroupDiskUsage&selection=top_g&groups=50"
  "groups-top-0 program=genGroupDiskUsage&selection=top_g&groups=0"
  "groups-over-1000 program=genGroupDiskUsage&selection=gt_g&gbytes=1000"
  "groups-over-1000-from-users program=genGroupDiskUsage&selection=gt_g&gbytes=1000&fromPage=resSearchCondPage"
  "groups-named-a program=genGroupDiskUsage&selection=group_name&gname=a"
  "groups-named-none program=genGroupDiskUsage&selection=group_name&gname=zzqq"
  "groups-owned program=genGroupDiskUsage&selection=group_owner&selectedOwner=$owner"
  "log-all program=genViewLogFilePage&sub_program=show&msg_type=All"
  "log-warnings-3-days program=genViewLogFilePage&sub_program=show&msg_type=ZA_WARNING&days=3"
  "log-audit program=genViewLogFilePage&sub_program=show&msg_type=za_audit"
  "log-none program=genViewLogFilePage&sub_program=show&msg_type=All&days=0"
)

# One login through the form for every request.
form='login=snapop&password=snappw'
cookies=$(cd "$top/web/admin/bin" && printf '%s' "$form" |
  env -i REQUEST_METHOD=POST CONTENT_TYPE=application/x-www-form-urlencoded CONTENT_LENGTH=${#form} \
    SCRIPT_NAME=/admin/bin/operadmin.cgi SERVER_NAME=localhost SERVER_PORT=80 PATH=/usr/bin:/bin ./operadmin.cgi |
  sed -n 's/^Set-Cookie: \([^;]*\);.*/\1/p' | paste -sd ';' - | sed 's/;/; /g')
page() { # query
  (cd "$top/web/admin/bin" &&
    cp "$top/snapshot-log" "$top/logs/zalogfile" &&
    env -i REQUEST_METHOD=GET QUERY_STRING="$1" SCRIPT_NAME=/admin/bin/operadmin.cgi \
      SERVER_NAME=localhost SERVER_PORT=80 PATH=/usr/bin:/bin HTTP_COOKIE="$cookies" \
      ./operadmin.cgi) | sed '1,/^$/d'
}

mkdir -p "$dir"
failed=0
for entry in "${requests[@]}"; do
  name=${entry%% *} query=${entry#* }
  page "$query" >"$dir/$name.new"
  size=$(wc -c <"$dir/$name.new")
  if grep -q 'name="loginform"' "$dir/$name.new"; then echo "$name: got the login page" >&2; exit 1; fi
  if [ "$mode" = capture ]; then
    rm -f "$dir/$name.html" "$dir/$name.sha256"
    if [ "$size" -gt 1048576 ]; then
      sha256sum <"$dir/$name.new" >"$dir/$name.sha256"
      rm "$dir/$name.new"
    else
      mv "$dir/$name.new" "$dir/$name.html"
    fi
    printf '%-30s %10s bytes\n' "$name" "$size"
  elif [ -f "$dir/$name.html" ]; then
    if cmp -s "$dir/$name.html" "$dir/$name.new"; then
      printf '%-30s same (%s bytes)\n' "$name" "$size"
    else
      failed=1
      at=$(cmp "$dir/$name.html" "$dir/$name.new" | awk '{ print $5 }' | tr -d , || true)
      printf '%-30s DIFFERS at byte %s\n' "$name" "${at:-end}"
      [ -n "$at" ] && { echo "  before: $(tail -c +$((at > 60 ? at - 60 : 1)) "$dir/$name.html" | head -c 160 | tr '\n' ' ')";
                        echo "  after:  $(tail -c +$((at > 60 ? at - 60 : 1)) "$dir/$name.new" | head -c 160 | tr '\n' ' ')"; }
    fi
    rm -f "$dir/$name.new"
  else
    if [ "$(sha256sum <"$dir/$name.new")" = "$(cat "$dir/$name.sha256")" ]; then
      printf '%-30s same (%s bytes, by sum)\n' "$name" "$size"
    else
      failed=1
      printf '%-30s DIFFERS (sum; page kept as %s)\n' "$name" "$dir/$name.new"
      continue
    fi
    rm -f "$dir/$name.new"
  fi
done
exit $failed
