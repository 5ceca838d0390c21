#!/usr/bin/env bash
# Installs what is missing, builds, and runs one sample request through the
# console so its answer can be seen.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake -S . -B build >/dev/null
cmake --build build -j"${JOBS:-2}"
echo "== GET /operadmin.cgi?program=demo&name=Ann%20Lee"
env -i PATH="$PATH" REQUEST_METHOD=GET QUERY_STRING='program=demo&name=Ann%20Lee' \
  SCRIPT_NAME=/admin/bin/operadmin.cgi SERVER_NAME=127.0.0.1 SERVER_PORT=8080 \
  HTTP_COOKIE='ZarvoUidCookie=demo' HTTP_USER_AGENT='Mozilla/5.0' build/bin/operadmin.cgi
