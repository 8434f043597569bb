#!/usr/bin/env bash
# Builds the Debian package, installs it with apt, checks that the installed
# command, its man pages and its bash completion work, removes it again and
# checks that nothing of it is left behind.
#
#   scripts/check-package-install.sh
#
# It changes the system it runs on (installs and removes the quillon
# package and the libraries it depends on): run it as root or with sudo, on
# a machine or container meant for it. CI does not run it. Refuses to start
# when a quillon package is installed already.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

fail() {
  echo "check-package-install: $*" >&2
  exit 1
}

if dpkg-query -W -f='${Status}' quillon 2>/dev/null | grep -q "install ok installed"; then
  fail "a quillon package is installed already; remove it first (apt remove quillon)"
fi

bash scripts/install-deps.sh
cmake --preset default
cmake --build --preset default --target package
deb="$(ls -1t build/quillon_*.deb | head -n 1)"
[ -n "$deb" ] || fail "no package in build/"
version="$(dpkg-deb -f "$deb" Version)"

echo "==== apt install ./$deb"
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "$PWD/$deb"
installed="$(mktemp)"
trap 'rm -f "$installed"' EXIT
dpkg -L quillon >"$installed"
echo "installed $(grep -c . "$installed") paths"

echo "==== quillon --version"
out="$(quillon --version)"
echo "$out"
[ "$out" = "quillon ${version%-*}" ] || fail "quillon --version printed '$out'"

echo "==== man -w quillon-release, man -w 5 quillon-mappings"
man -w quillon-release | grep -qx "/usr/share/man/man1/quillon-release.1.gz" ||
  fail "man does not find quillon-release"
man -w 5 quillon-mappings | grep -qx "/usr/share/man/man5/quillon-mappings.5.gz" ||
  fail "man does not find quillon-mappings(5)"
MANPAGER=cat MANWIDTH=80 man quillon-release | grep -q "quillon release" ||
  fail "man quillon-release shows no synopsis"

echo "==== completion of quillon re<TAB>"
candidates="$(bash --norc -c 'source /usr/share/bash-completion/completions/quillon
  COMP_WORDS=(quillon re); COMP_CWORD=1; _quillon; printf "%s\n" "${COMPREPLY[@]}"')"
echo "$candidates"
grep -qx release <<<"$candidates" || fail "quillon re<TAB> does not offer release"
if grep -v '^re' <<<"$candidates" | grep -q .; then fail "quillon re<TAB> offers other words"; fi

echo "==== libraries come from the package"
ldd /usr/bin/quillon | grep -Eq "libquillon.so.0 => /usr/(bin/\.\./)?lib/" || fail "libquillon not found"

echo "==== apt remove quillon"
DEBIAN_FRONTEND=noninteractive $SUDO apt-get remove -y -q quillon
# Not even a "config-files" record stays in dpkg's database.
if dpkg-query -W -f='${Status}' quillon 2>/dev/null | grep -q .; then
  fail "dpkg still knows quillon: $(dpkg-query -W -f='${Status}' quillon)"
fi
# Whatever the package installed and no other package owns must be gone.
left=0
while IFS= read -r path; do
  [ "$path" = "/." ] && continue
  [ -e "$path" ] || [ -L "$path" ] || continue
  if ! dpkg -S "$path" >/dev/null 2>&1; then
    echo "left behind: $path" >&2
    left=1
  fi
done <"$installed"
[ "$left" -eq 0 ] || fail "files were left behind"
if ldconfig -p | grep -q "libquillon"; then fail "the loader cache still lists libquillon"; fi
command -v quillon >/dev/null 2>&1 && fail "quillon is still on PATH"

echo "==== check-package-install: installed, used and removed cleanly"
