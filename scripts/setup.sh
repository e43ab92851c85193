#!/usr/bin/env bash
# Installs whichever packages of scripts/packages.txt are missing, without
# questions. Quick when everything is there already. A name ending in "?" is
# installed where the release has it (a plug-in package that one release
# splits out and another does not).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
mapfile -t wanted < <(grep -v '^\s*#' "$here/packages.txt" | grep -v '^\s*$')
installed() { [[ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null || true)" == "install ok installed" ]]; }
known() { [[ -n "$(apt-cache policy "$1" 2>/dev/null | grep 'Candidate:' | grep -v '(none)')" ]]; }
missing=() optional=()
for p in "${wanted[@]}"; do
  if [[ "$p" == *'?' ]]; then
    installed "${p%\?}" || optional+=("${p%\?}")
  else
    installed "$p" || missing+=("$p")
  fi
done
for p in "${optional[@]}"; do known "$p" && missing+=("$p"); done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  sudo=""; [[ $(id -u) -eq 0 ]] || sudo="sudo"
  $sudo apt-get update -qq
  # A fresh system learns of the optional packages only now.
  for p in "${optional[@]}"; do
    [[ " ${missing[*]} " == *" $p "* ]] || ! known "$p" || missing+=("$p")
  done
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
