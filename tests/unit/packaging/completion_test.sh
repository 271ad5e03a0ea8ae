#!/usr/bin/env bash
# Loads the programs' bash completion the way bash-completion does on first use (from the
# build tree's completions folder) and completes command lines as bash would.
#   completion_test.sh BUILD_DIR CONSOLE ENDPOINT [runs]
# "runs" completes the run ids of the history; it makes a run in a network namespace of
# its own and needs root (exit 77: skipped).
set -uo pipefail
build=$(realpath "$1") console=$(realpath "$2") endpoint=$(realpath "$3") mode=${4:-}

framework=/usr/share/bash-completion/bash_completion
[ -r "$framework" ] || { echo "FAIL: bash-completion is not installed"; exit 1; }
# shellcheck source=/dev/null
. "$framework"
export BASH_COMPLETION_USER_DIR=$build/bash-completion

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Completes the words given, the last being the one under the cursor; prints the
# candidates sorted, one a line.
complete_words() {
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    COMP_LINE="$*"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    local spec
    spec=$(complete -p "${1##*/}" 2>/dev/null) || return 1
    [[ $spec =~ -F\ ([^ ]+) ]] || return 1
    "${BASH_REMATCH[1]}" "$1" "${COMP_WORDS[-1]}" "${COMP_WORDS[-2]}"
    [ ${#COMPREPLY[@]} -eq 0 ] || printf '%s\n' "${COMPREPLY[@]}" | sort
}

expect() {  # "expected candidates, one a line" words...
    local want=$1 got
    shift
    got=$(complete_words "$@")
    if [ "$got" = "$want" ]; then
        echo "ok: $* -> $(tr '\n' ' ' <<<"$got")"
    else
        fail "$* completed to [$(tr '\n' ' ' <<<"$got")], expected [$(tr '\n' ' ' <<<"$want")]"
    fi
}

lines() { [ $# -eq 0 ] || printf '%s\n' "$@" | sort; }
help_options() { "$1" --help | grep -oE -- '--[a-z][a-z0-9-]*' | sort -u; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/files"
cd "$work/files" || exit 1

if [ "$mode" = runs ]; then
    [ "$(id -u)" -eq 0 ] || { echo "skipped: needs root for a network namespace"; exit 77; }
    export XDG_STATE_HOME=$work/state
    mkdir -p "$XDG_STATE_HOME"
    # No EndPoint answers in the namespace: the run fails at once but is journalled.
    unshare -n sh -c 'ip link set lo up &&
        "$1" --headless --interface lo --pair 127.0.0.1,127.0.0.1 --duration 1 >/dev/null' \
        sh "$console"
    id=$("$console" --headless --runs | awk 'NR > 1 { print $1 }')
    [ -n "$id" ] || { echo "FAIL: no run in the history"; exit 1; }
    __load_completion Quarn_Console
    touch lab.config lab.csv
    expect "$id" "$console" --headless --recover ""
    expect "$id" "$console" --headless --recover "${id:0:8}"
    expect "$(lines "$id" lab.config)" "$console" --headless --compare ""
    expect "" "$console" --headless --compare 1999
    # An option after --recover, whose id is optional.
    expect "--recover" "$console" --headless --recover --rec
    [ $failures -eq 0 ] || exit 1
    exit 0
fi

for program in Quarn_Console Quarn_EndPoint; do
    if ! __load_completion "$program"; then
        fail "bash-completion found no completion for $program"
        continue
    fi
    spec=$(complete -p "$program")
    echo "$spec"
    [[ $spec == "complete -F _quarn_"*" $program" ]] || fail "unexpected completion: $spec"
done

# Completing "--" offers exactly the options --help names; a difference is named.
for program in "$console" "$endpoint"; do
    name=${program##*/}
    in_help=$(help_options "$program")
    offered=$(complete_words "$program" --)
    lacking=$(comm -23 <(echo "$in_help") <(echo "$offered"))
    extra=$(comm -13 <(echo "$in_help") <(echo "$offered"))
    [ -z "$lacking" ] || fail "$name --help names options its completion lacks:" $lacking
    [ -z "$extra" ] || fail "the completion of $name offers options its --help does not name:" $extra
    [ -n "$in_help" ] || fail "$name --help names no options"
    [ -n "$lacking$extra" ] || echo "ok: $name: $(wc -l <<<"$in_help") options in --help and completion"
done
expect "--open" Quarn_Console --headless --op
expect "$(lines --headless --help)" Quarn_EndPoint --he

mkdir sub
touch lab.config old.config lab.csv run.jsonl report.html plan.yaml notes.txt
expect "$(lines lab.config old.config sub)" Quarn_Console --headless --open ""
expect "lab.config" Quarn_Console --headless --save la
expect "$(lines lab.config old.config sub)" Quarn_Console --headless --compare ""
expect "$(lines lab.csv sub)" Quarn_Console --headless --csv ""
expect "$(lines - run.jsonl sub)" Quarn_Console --headless --jsonl ""
expect "$(lines report.html sub)" Quarn_Console --headless --report ""
# The window opens a file given last.
expect "$(lines lab.config old.config sub)" Quarn_Console ""
# Values that are typed, not chosen.
for option in --pair --duration --window --throughput --metrics --history-limit; do
    expect "" Quarn_Console --headless "$option" ""
done
expect "" Quarn_EndPoint --set-name ""
expect "" Quarn_EndPoint ""
if got=$(complete_words Quarn_Console --interface l) && grep -qx lo <<<"$got"; then
    echo "ok: --interface l offers lo"
else
    fail "--interface l did not offer lo: [$got]"
fi

[ $failures -eq 0 ] || exit 1
