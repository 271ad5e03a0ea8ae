#!/usr/bin/env bash
# Every option a program's --help names has an entry in its manual page source, and the
# manual has no entry for an option the program does not name. An entry is a line of the
# scdoc source that starts with a bold option (*--name*), so a new option needs one entry.
#   help_matches_man.sh PROGRAM MAN_SOURCE [PROGRAM MAN_SOURCE ...]
set -uo pipefail

option_names() { grep -oE -- '--[a-z][a-z0-9-]*' | sort -u; }

status=0
while [ $# -ge 2 ]; do
    program=$1
    source=$2
    shift 2
    name=${program##*/}
    if ! help=$("$program" --help); then
        echo "FAIL: $name --help did not exit with 0"
        status=1
        continue
    fi
    in_help=$(option_names <<<"$help")
    in_man=$(grep -E '^\*--' "$source" | option_names)
    if [ -z "$in_help" ] || [ -z "$in_man" ]; then
        echo "FAIL: $name: no options found (--help: $(wc -w <<<"$in_help"), manual: $(wc -w <<<"$in_man"))"
        status=1
        continue
    fi
    undocumented=$(comm -23 <(echo "$in_help") <(echo "$in_man"))
    unknown=$(comm -13 <(echo "$in_help") <(echo "$in_man"))
    if [ -n "$undocumented" ]; then
        echo "FAIL: $name --help names options its manual page lacks:" $undocumented
        status=1
    fi
    if [ -n "$unknown" ]; then
        echo "FAIL: the manual page of $name has options its --help does not name:" $unknown
        status=1
    fi
    [ -z "$undocumented$unknown" ] && echo "ok: $name: $(wc -w <<<"$in_help") options in --help and manual"
done
[ $# -eq 0 ] || { echo "FAIL: arguments come in pairs: PROGRAM MAN_SOURCE"; status=1; }
exit $status
