#!/usr/bin/env bash
# Every folder of the source tree has a row in docs/layout.md: the top-level folders, and
# the libraries of console/ and endpoint/ and the kinds of tests/ one level down.
#   layout_lists_folders.sh SOURCE_DIR
set -uo pipefail
root=$1
layout=$root/docs/layout.md

# Tracked folders only: build trees and packed output are not part of the layout.
folders() {
    if git -C "$root" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        git -C "$root" ls-files
    else
        (cd "$root" && find . -type f -not -path './build*' -not -path './dist/*' \
            -not -path './.git/*' | sed 's|^\./||')
    fi | awk -F/ '$1 == "console" || $1 == "endpoint" || $1 == "tests" {
                      if (NF > 2) print $1 "/" $2 "/"
                      next }
                  NF > 1 { print $1 "/" }' | sort -u
}

# The folders named in the table's first column.
listed=$(awk -F'|' '/^\| `/ { print $2 }' "$layout" | grep -oE '`[.a-z0-9_/-]+/`' |
    tr -d '`' | sort -u)
missing=$(comm -23 <(folders) <(echo "$listed"))
gone=$(comm -13 <(folders) <(echo "$listed") | grep -vx 'docs/' || true)
status=0
if [ -n "$missing" ]; then
    echo "FAIL: docs/layout.md has no row for:" $missing
    status=1
fi
if [ -n "$gone" ]; then
    echo "FAIL: docs/layout.md names folders the tree does not have:" $gone
    status=1
fi
[ $status -eq 0 ] && echo "ok: docs/layout.md lists all $(folders | wc -l) folders"
exit $status
