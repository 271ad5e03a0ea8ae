#!/usr/bin/env bash
# Builds the .deb and checks it as a Debian packager would: lintian with no error and no
# warning, then the files it installs, unpacked: the AppStream metainfo and its tree
# (appstreamcli, no network), the desktop entries (desktop-file-validate), the manual
# pages (man --warnings, lexgrog) and the bash completion (loaded by bash-completion).
# Takes well under a minute once the programs are built; scripts/test.sh runs it.
#   scripts/lint-package.sh [build-dir]
# Tools: scripts/setup-check.sh.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$repo/build}

step() { echo "== $*"; }
failed=0
fail() { echo "lint-package: FAILED: $*" >&2; failed=1; }

step "building the package in $build"
[ -f "$build/CMakeCache.txt" ] || cmake -S "$repo" -B "$build" -G Ninja >/dev/null
cmake --build "$build" -j2 --target Quarn_EndPoint Quarn_Console quarn_man_pages \
    quarn_changelog >/dev/null
rm -f "$build"/quarn_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/quarn_*.deb)
echo "$deb"

step "lintian"
# Informational tags are shown but do not fail the check. lintian warns when run as root.
lintian --display-info --tag-display-limit 0 --fail-on error,warning "$deb" \
    2> >(grep -v 'running with root privileges' >&2) || fail "lintian"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
share=$root/usr/share

step "appstreamcli"
appstreamcli validate --no-net --pedantic --no-color "$share"/metainfo/*.metainfo.xml ||
    fail "appstreamcli validate"
# The installed tree: the metainfo finds its desktop entry and icon.
appstreamcli validate-tree --no-net --no-color "$root" || fail "appstreamcli validate-tree"

step "desktop-file-validate"
out=$(desktop-file-validate "$share"/applications/*.desktop 2>&1) || fail "desktop-file-validate"
[ -z "$out" ] || { echo "$out"; fail "desktop-file-validate warnings"; }

step "manual pages"
for program in "$root"/usr/bin/*; do
    page=$share/man/man1/${program##*/}.1.gz
    [ -f "$page" ] || { fail "no manual page for ${program##*/}"; continue; }
    out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$out" ] || { echo "$out"; fail "man --warnings ${page##*/}"; }
    lexgrog "$page" || fail "lexgrog ${page##*/}"
done

step "bash completion"
for program in "$root"/usr/bin/*; do
    name=${program##*/}
    spec=$(BASH_COMPLETION_USER_DIR=$share/bash-completion bash -c \
        '. /usr/share/bash-completion/bash_completion && __load_completion "$1" &&
         complete -p "$1"' bash "$name") || { fail "no completion for $name"; continue; }
    echo "$spec"
done

[ $failed -eq 0 ] || exit 1
echo "lint-package: passed"
