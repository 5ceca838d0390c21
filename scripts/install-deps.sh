#!/usr/bin/env bash
# Installs the Debian packages a build needs, only those that are missing.
# Usage: scripts/install-deps.sh [extra package...]
set -euo pipefail
# libldap-dev builds the LDAP store; slapd and ldap-utils run its tests.
want=(g++ cmake make ccache libgtest-dev libgmock-dev libcrypt-dev libssl-dev libsqlite3-dev libpq-dev libldap-dev slapd ldap-utils clang libclang-rt-14-dev "$@")
missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
