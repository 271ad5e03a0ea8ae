#!/usr/bin/env bash
# The version the build says is the one the Debian changelog, the AppStream release and
# the EndPoint's --version say, so a release bump cannot miss one of them.
#   package_versions_test.sh VERSION CHANGELOG METAINFO ENDPOINT
set -uo pipefail
version=$1 changelog=$2 metainfo=$3 endpoint=$4

status=0
expect() {  # what got
    if [ "$2" = "$version" ]; then
        echo "ok: $1 is $version"
    else
        echo "FAIL: $1 is '$2', the build's version is $version"
        status=1
    fi
}
expect "the newest changelog entry" "$(sed -nE '1s/^quarn \(([^)]*)\).*/\1/p' "$changelog")"
expect "the newest AppStream release" \
    "$(grep -m1 -oE '<release version="[^"]*"' "$metainfo" | sed -E 's/.*"(.*)"/\1/')"
expect "Quarn_EndPoint --version" "$("$endpoint" --version | sed -nE 's/^Quarn_EndPoint v//p')"
# The newest release is dated as the newest changelog entry.
release_date=$(grep -m1 -oE '<release version="[^"]*" date="[^"]*"' "$metainfo" |
    sed -E 's/.*date="(.*)"/\1/')
entry_date=$(date -u -d "$(sed -nE '0,/^ -- /s/^ -- .*>  (.*)$/\1/p' "$changelog")" +%F)
if [ "$release_date" = "$entry_date" ]; then
    echo "ok: both dated $entry_date"
else
    echo "FAIL: the AppStream release is dated '$release_date', the changelog entry '$entry_date'"
    status=1
fi
exit $status
