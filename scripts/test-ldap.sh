#!/usr/bin/env bash
# Checks of the LDAP store beyond its unit tests: the schema in its two forms
# loads into slapd and says the same, and the console works end to end over a
# private slapd (scripts/test-ldap-console.sh). Installs what it needs.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh slapd ldap-utils libldap-dev >/dev/null || { echo "cannot install slapd"; exit 1; }
export PATH=$PATH:/usr/sbin
failed=0
work=$(mktemp -d /tmp/za-ldap.XXXXXX) || exit 1
trap 'rm -rf "$work"' EXIT

# slapd.conf form: the .schema file loads after the standard schemas.
cat >"$work/slapd.conf" <<CONF
include /etc/ldap/schema/core.schema
include /etc/ldap/schema/cosine.schema
include /etc/ldap/schema/inetorgperson.schema
include $PWD/install/ldap/zarvo.schema
CONF
if ! out=$(slaptest -u -f "$work/slapd.conf" 2>&1); then
  echo "zarvo.schema does not load: $out"; failed=1
fi
# Both forms define the same attribute types and object classes.
defs() { tr '\n\t' '  ' | grep -o "( 1\.3\.6\.1\.4\.1\.32473[^)]*\(([^)]*)[^)]*\)*)" | tr -s ' '; }
if ! diff <(sed 's/^#.*//' install/ldap/zarvo.schema | defs) \
          <(grep '^olc' install/ldap/zarvo.ldif | sed 's/^[^:]*: //' | defs) >"$work/diff"; then
  echo "zarvo.schema and zarvo.ldif differ:"; cat "$work/diff"; failed=1
fi
[ "$(sed 's/^#.*//' install/ldap/zarvo.schema | defs | wc -l)" -eq 12 ] ||
  { echo "expected 12 definitions in zarvo.schema"; failed=1; }

if [ -x scripts/test-ldap-console.sh ]; then
  scripts/test-ldap-console.sh || failed=1
fi
[ "$failed" -eq 0 ] && echo "LDAP checks passed"
exit "$failed"
