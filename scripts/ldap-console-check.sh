#!/usr/bin/env bash
# The console end to end over the LDAP store: an installation whose directory
# is a private slapd (scripts/ldap-server.sh, on 127.0.0.1:PORT), filled with
# ldapadd as an existing directory would be, and operadmin.cgi run as the web
# server runs it. Checks the LDAP store's pages (one tab, five-column group
# tables, three search choices), the set-up form while slapd is stopped, and
# the console back at work after the form was saved with slapd running again.
#
#   scripts/ldap-console-check.sh [--build DIR] [--port N]
#
# Run by scripts/test-ldap.sh; ends with "ldap console checks: N passed, N failed".
set -uo pipefail
cd "$(dirname "$0")/.."
build=build port=46011
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=${2:?}; shift 2 ;;
    --port) port=${2:?}; shift 2 ;;
    *) echo "ldap-console-check.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
export PATH=$PATH:/usr/sbin
top=$(mktemp -d /tmp/za-ldapweb.XXXXXX) || exit 1
slapd=$top/slapd
cleanup() { scripts/ldap-server.sh stop "$slapd"; rm -rf "$top"; }
trap cleanup EXIT
passed=0 failed=0
check() { # description, command...
  local what=$1; shift
  if "$@"; then echo "ok   $what"; passed=$((passed + 1)); else echo "FAIL $what"; failed=$((failed + 1)); fi
}

cmake -S . -B "$build" >/dev/null &&
  cmake --build "$build" -j"${JOBS:-2}" --target operadmin.cgi suite.cgi selector.cgi zaldapdblib_cgi zafiledblib_cgi zasqldblib_cgi zastore \
    >"$top/build.log" 2>&1 || { tail -n 40 "$top/build.log"; exit 1; }
cmake --install "$build" --prefix "$top" >/dev/null || exit 1
scripts/ldap-server.sh start "$slapd" "$port" >/dev/null || exit 1
base=dc=example,dc=org root=cn=admin,$base
ldap() { "$@" -x -H "ldap://127.0.0.1:$port" -D "$root" -y "$slapd/rootpw"; }

# An existing directory: people of its own, plus what the console keeps.
{
  printf 'dn: %s\nobjectClass: dcObject\nobjectClass: organization\ndc: example\no: Example\n\n' "$base"
  for ou in people accounts groups; do printf 'dn: ou=%s,%s\nobjectClass: organizationalUnit\nou: %s\n\n' "$ou" "$base" "$ou"; done
  printf 'dn: cn=zarvo,%s\nobjectClass: zarvoStore\ncn: zarvo\nzarvoSetupStatus: done\n\n' "$base"
  for u in operator ann bob; do
    printf 'dn: uid=%s,ou=people,%s\nobjectClass: inetOrgPerson\nuid: %s\ncn: Person %s\nsn: %s\nmail: %s@example.org\n\n' \
      "$u" "$base" "$u" "$u" "$u" "$u"
    admin=FALSE; [ "$u" = operator ] && admin=TRUE
    printf 'dn: uid=%s,ou=accounts,%s\nobjectClass: zarvoAccount\nuid: %s\nzarvoLogin: %s\nzarvoAdmin: %s\ncn: Person %s\n\n' \
      "$u" "$base" "$u" "$u" "$admin" "$u"
  done
  printf 'dn: zarvoGroupId=team,ou=groups,%s\nobjectClass: groupOfNames\nobjectClass: zarvoGroup\nzarvoGroupId: team\ncn: The Team\nowner: uid=ann,ou=accounts,%s\nmember: uid=ann,ou=accounts,%s\nmember: uid=bob,ou=accounts,%s\nzarvoShared: TRUE\n\n' \
    "$base" "$base" "$base" "$base"
} >"$top/data.ldif"
ldap ldapadd -f "$top/data.ldif" >/dev/null || exit 1
ldap ldappasswd -s 'op-Secret 1' "uid=operator,ou=accounts,$base" || exit 1

config=$top/config/configInfo.lst
printf 'BEGIN:vNameList\nempDirDBFormat:ZA_LDAP\nldapServerName:127.0.0.1\nldapServerPort:%s\nrootDN:%s\nldapRootPasswdFile:%s\nldapSearchBase:%s\nEND:vNameList\n' \
  "$port" "$root" "$slapd/rootpw" "$base" >"$config"

cookies=
cgi() { # method, query or body; prints the response, remembers cookies it sets
  local method=$1 data=$2 out
  out=$(cd "$top/web/admin/bin" && if [ "$method" = POST ]; then
    printf '%s' "$data" | env -i PATH="$PATH" REQUEST_METHOD=POST CONTENT_TYPE=application/x-www-form-urlencoded \
      CONTENT_LENGTH=${#data} SCRIPT_NAME=/admin/bin/operadmin.cgi SERVER_NAME=127.0.0.1 SERVER_PORT=80 \
      HTTP_USER_AGENT="Mozilla/5.0" HTTP_COOKIE="$cookies" QUERY_STRING= ./operadmin.cgi
  else
    env -i PATH="$PATH" REQUEST_METHOD=GET QUERY_STRING="$data" SCRIPT_NAME=/admin/bin/operadmin.cgi \
      SERVER_NAME=127.0.0.1 SERVER_PORT=80 HTTP_USER_AGENT="Mozilla/5.0" HTTP_COOKIE="$cookies" ./operadmin.cgi </dev/null
  fi)
  local set; set=$(printf '%s\n' "$out" | sed -n 's/^Set-Cookie: \([^;]*\);.*/\1/p' | tr -d '\r')
  if [ -n "$set" ]; then cookies=$(printf '%s\n' "$set" | paste -sd';' | sed 's/;/; /g'); fi
  printf '%s\n' "$out"
}
login() { cgi POST "program=front&login=operator&password=op-Secret%201" >/dev/null; }
has() { grep -qF -- "$2" <<<"$1"; }
lacks() { ! grep -qF -- "$2" <<<"$1"; }
count() { grep -oF -- "$2" <<<"$1" | wc -l; }

login
tabs=$(cgi GET "program=genManagerUsersNavbar")
check "administrator logs in against the directory" has "$tabs" "fviewuserids"
check "one tab for an LDAP store" test "$(count "$tabs" 'target="manage_users_frame"')" -eq 1
ids=$(cgi GET "program=genUid2NamePage")
check "user IDs listed from the directory" has "$ids" "Person bob"
form=$(cgi GET "program=groupResSearchCondPage")
check "three search choices" test "$(count "$form" 'name="selection"')" -eq 3
check "search submits with three" has "$form" "validateGroupResSearchCondFormSubmit('3')"
groups=$(cgi GET "program=genGroupDiskUsage&selection=all_g&fromPage=groupResSearchCondPage")
check "group table lists the group" has "$groups" "The Team"
check "five columns, no disk space" lacks "$groups" "Disk Space (bytes)"
summary=$(cgi GET "program=genGroupResUsage&uid=team&fromPage=group_res")
check "group summary offers the owner change" has "$summary" "bchangeowner"

scripts/ldap-server.sh stop "$slapd"
down=$(cgi GET "program=genUid2NamePage")
check "set-up form while slapd is stopped" has "$down" "LDAP Configuration"
check "set-up form names the reason" has "$down" "Can't contact LDAP server"
scripts/ldap-server.sh start "$slapd" "$port" >/dev/null || exit 1
pw=$(cat "$slapd/rootpw")
token=$(grep -o 'name="zatoken"[^>]*' <<<"$down" | sed -n 's/.*value="\([^"]*\)".*/\1/p' | head -n1 | sed 's/+/%2B/g; s/\//%2F/g; s/=/%3D/g')
check "set-up form carries its action token" test -n "$token"
forged=$(cgi POST "program=updateLDAPSetupInfo&machineNo=127.0.0.1&portNo=$port&rootDN=$root&rootPasswd=$pw&searchBase=$base")
check "form without its token refused" has "$forged" "nothing was changed"
bad=$(cgi POST "program=updateLDAPSetupInfo&zatoken=$token&machineNo=127.0.0.1&portNo=99999&rootDN=$root&rootPasswd=$pw&searchBase=$base")
check "malformed port refused with the form" has "$bad" "The port number must be a number from 1 to 65535."
saved=$(cgi POST "program=updateLDAPSetupInfo&zatoken=$token&machineNo=127.0.0.1&portNo=$port&rootDN=cn%3Dadmin%2Cdc%3Dexample%2Cdc%3Dorg&rootPasswd=$pw&searchBase=dc%3Dexample%2Cdc%3Dorg")
check "saved form answers with the login page" has "$saved" "The directory settings were saved."
check "root password scrambled in the file" test "$(grep -c "^rootPasswd:$pw\$" "$config")" -eq 0
check "root password kept" grep -q '^rootPasswd:.' "$config"
login
back=$(cgi GET "program=genUid2NamePage")
check "console back at work" has "$back" "Person ann"

echo "ldap console checks: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
