#!/usr/bin/env bash
# A private slapd for the console's LDAP store: an mdb database under DIR,
# configured through cn=config with core, cosine, inetorgperson and the
# console's schema (install/ldap/zarvo.ldif), listening on DIR/ldapi and,
# when PORT is given, on 127.0.0.1:PORT. Stopped by its own process id.
#
#   scripts/ldap-server.sh start DIR [PORT]   # prints the settings to use
#   scripts/ldap-server.sh stop DIR
#
# Suffix dc=example,dc=org; root DN cn=admin,dc=example,dc=org, whose password
# is read from DIR/rootpw (made at random on the first start).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cmd=${1:-}; dir=${2:-}
[ -n "$cmd" ] && [ -n "$dir" ] || { echo "usage: $0 start|stop DIR [PORT]" >&2; exit 2; }
suffix=dc=example,dc=org
rootdn=cn=admin,$suffix

uri_of() { # the ldapi URL of DIR's socket, with the path escaped
  printf 'ldapi://%s' "$(printf '%s' "$1/ldapi" | sed 's|%|%25|g; s|/|%2F|g')"
}

case $cmd in
start)
  for tool in slapd slapadd slappasswd; do
    command -v "$tool" >/dev/null || [ -x "/usr/sbin/$tool" ] ||
      { echo "$tool is missing: scripts/install-deps.sh slapd ldap-utils" >&2; exit 1; }
  done
  export PATH=$PATH:/usr/sbin
  mkdir -p "$dir"; dir=$(cd "$dir" && pwd)
  if [ -f "$dir/slapd.pid" ] && kill -0 "$(cat "$dir/slapd.pid")" 2>/dev/null; then
    echo "slapd already runs for $dir (pid $(cat "$dir/slapd.pid"))" >&2; exit 1
  fi
  [ -s "$dir/rootpw" ] || (umask 077; head -c 18 /dev/urandom | base64 | tr -d '/+=\n' >"$dir/rootpw")
  if [ ! -d "$dir/slapd.d" ]; then
    mkdir -p "$dir/slapd.d" "$dir/db"
    hash=$(slappasswd -T "$dir/rootpw")
    cat >"$dir/config.ldif" <<LDIF
dn: cn=config
objectClass: olcGlobal
cn: config
olcPidFile: $dir/slapd.pid

dn: cn=module{0},cn=config
objectClass: olcModuleList
cn: module{0}
olcModulePath: /usr/lib/ldap
olcModuleLoad: back_mdb

dn: cn=schema,cn=config
objectClass: olcSchemaConfig
cn: schema

include: file:///etc/ldap/schema/core.ldif
include: file:///etc/ldap/schema/cosine.ldif
include: file:///etc/ldap/schema/inetorgperson.ldif
include: file://$here/install/ldap/zarvo.ldif

dn: olcDatabase={0}config,cn=config
objectClass: olcDatabaseConfig
olcDatabase: {0}config
olcAccess: to * by * none

dn: olcDatabase={1}mdb,cn=config
objectClass: olcDatabaseConfig
objectClass: olcMdbConfig
olcDatabase: {1}mdb
olcDbDirectory: $dir/db
olcDbMaxSize: 4294967296
olcSuffix: $suffix
olcRootDN: $rootdn
olcRootPW: $hash
olcDbIndex: objectClass eq
olcDbIndex: uid eq,sub
olcDbIndex: cn eq,sub
olcDbIndex: member,owner eq
olcDbIndex: zarvoLogin,zarvoGroupId eq
olcDbIndex: zarvoHotlistPerson,zarvoHotlistGroup eq
olcAccess: to attrs=userPassword by self write by anonymous auth by * none
olcAccess: to * by users read by * none
LDIF
    slapadd -n0 -F "$dir/slapd.d" -l "$dir/config.ldif" >"$dir/slapadd.log" 2>&1 ||
      { cat "$dir/slapadd.log" >&2; rm -rf "$dir/slapd.d"; exit 1; }
  fi
  urls="$(uri_of "$dir")"
  [ -n "${3:-}" ] && urls="$urls ldap://127.0.0.1:$3"
  slapd -F "$dir/slapd.d" -h "$urls" -s 0 >>"$dir/slapd.log" 2>&1 ||
    { echo "slapd did not start:" >&2; tail -n 20 "$dir/slapd.log" >&2; exit 1; }
  for _ in $(seq 100); do [ -S "$dir/ldapi" ] && [ -s "$dir/slapd.pid" ] && break; sleep 0.1; done
  [ -S "$dir/ldapi" ] || { echo "slapd did not open $dir/ldapi" >&2; exit 1; }
  echo "ldapURI:$(uri_of "$dir")"
  echo "rootDN:$rootdn"
  echo "ldapSearchBase:$suffix"
  ;;
stop)
  [ -f "$dir/slapd.pid" ] || exit 0
  pid=$(cat "$dir/slapd.pid")
  if kill "$pid" 2>/dev/null; then
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  fi
  rm -f "$dir/slapd.pid"
  ;;
*) echo "usage: $0 start|stop DIR [PORT]" >&2; exit 2 ;;
esac
