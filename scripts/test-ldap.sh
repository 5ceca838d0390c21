#!/usr/bin/env bash
# Checks of the LDAP store beyond its unit tests: the schema in its two forms
# loads into slapd and says the same, and the console works end to end over a
# private slapd (scripts/ldap-console-check.sh). Installs what it needs; uses
# the build in build/ (or BUILD_DIR). Ends with "ldap checks: N passed, N failed".
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh slapd ldap-utils libldap-dev >/dev/null || { echo "cannot install slapd"; exit 1; }
export PATH=$PATH:/usr/sbin
passed=0 failed=0
work=$(mktemp -d /tmp/za-ldap.XXXXXX) || exit 1
trap 'rm -rf "$work"' EXIT

# slapd.conf form: the .schema file loads after the standard schemas.
cat >"$work/slapd.conf" <<CONF
include /etc/ldap/schema/core.schema
include /etc/ldap/schema/cosine.schema
include /etc/ldap/schema/inetorgperson.schema
include $PWD/install/ldap/zarvo.schema
CONF
if out=$(slaptest -u -f "$work/slapd.conf" 2>&1); then passed=$((passed + 1)); else
  echo "zarvo.schema does not load: $out"; failed=$((failed + 1))
fi
# Both forms define the same attribute types and object classes.
defs() { tr '\n\t' '  ' | grep -o "( 1\.3\.6\.1\.4\.1\.32473[^)]*\(([^)]*)[^)]*\)*)" | tr -s ' '; }
if ! diff <(sed 's/^#.*//' install/ldap/zarvo.schema | defs) \
          <(grep '^olc' install/ldap/zarvo.ldif | sed 's/^[^:]*: //' | defs) >"$work/diff"; then
  echo "zarvo.schema and zarvo.ldif differ:"; cat "$work/diff"; failed=$((failed + 1))
elif [ "$(sed 's/^#.*//' install/ldap/zarvo.schema | defs | wc -l)" -ne 12 ]; then
  echo "expected 12 definitions in zarvo.schema"; failed=$((failed + 1))
else
  passed=$((passed + 1))
fi

scripts/ldap-console-check.sh --build "${BUILD_DIR:-build}" | tee "$work/console"
line=$(grep -E '^ldap console checks: [0-9]+ passed, [0-9]+ failed$' "$work/console" | tail -n 1)
if [ -n "$line" ]; then
  passed=$((passed + $(sed -E 's/.*: ([0-9]+) passed.*/\1/' <<<"$line")))
  failed=$((failed + $(sed -E 's/.* ([0-9]+) failed$/\1/' <<<"$line")))
else
  failed=$((failed + 1))
fi
echo "ldap checks: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
