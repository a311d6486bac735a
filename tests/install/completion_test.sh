#!/usr/bin/env bash
# The bash completion offers what tessorctl has: every subcommand and every
# option that --help lists, the values of the choice options, the port names
# and files. The lists come from the program, so a new subcommand or option
# without its completion fails here.
set -u
tessorctl=$1 completion=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# A port directory of its own, with one simulator link that gets a COM number.
export XDG_CONFIG_HOME=$scratch/config XDG_RUNTIME_DIR=$scratch/run
mkdir -p "$XDG_RUNTIME_DIR/tessor/ports"
ln -s /dev/null "$XDG_RUNTIME_DIR/tessor/ports/sim"
# shellcheck source=/dev/null
source "$completion"
status=0

# The candidates for the words given, the last one being completed.
complete_words() {
    COMP_WORDS=("$tessorctl" "$@")
    COMP_CWORD=$#
    COMPREPLY=()
    _tessorctl
    printf '%s\n' "${COMPREPLY[@]}" | sort -u
}

expect_all() {
    local what=$1 got=$2 want
    for want in $3; do
        if ! grep -qxF -- "$want" <<<"$got"; then
            echo "$what: no '$want' among: $(tr '\n' ' ' <<<"$got")"
            status=1
        fi
    done
}

expect_only() {
    local what=$1 got=$2 want=$3
    if [ "$got" != "$want" ]; then
        echo "$what: got '$(tr '\n' ' ' <<<"$got")', want '$(tr '\n' ' ' <<<"$want")'"
        status=1
    fi
}

subcommands=$("$tessorctl" --help | awk '/^Subcommands:/ { on = 1; next } on && /^  [a-z]/ { print $1 }')
[ -n "$subcommands" ] || { echo "tessorctl --help lists no subcommands"; exit 1; }
expect_all "subcommands" "$(complete_words "")" "$subcommands --trace"
expect_all "subcommands after --trace FILE" "$(complete_words --trace t.trace "")" "$subcommands"
expect_only "a prefix" "$(complete_words download-)" $'download-db\ndownload-tracks'

for sub in $subcommands; do
    options=$("$tessorctl" "$sub" --help | grep -oE -- '--[a-z][a-z-]*' | sort -u)
    expect_all "$sub options" "$(complete_words "$sub" --)" "$options"
done
expect_only "options after others" "$(complete_words info --port COM1 --j)" "--json"

expect_only "--log-type" "$(complete_words set-log-config --log-type "")" $'distance\ntime'
expect_only "--memory-full" "$(complete_words set-log-config --memory-full o)" "overwrite"
expect_only "--nmea" "$(complete_words set-switches --log on --nmea "")" $'off\non'
expect_only "--cell-km" "$(complete_words build-image --cell-km 1)" $'1\n10'
expect_only "--port COM numbers" "$(complete_words info --port COM)" "COM1"
expect_all "--port device paths" "$(complete_words info --port /dev/nu)" "/dev/null"

mkdir -p "$scratch/files/maps"
touch "$scratch/files/veld.bin" "$scratch/files/veld.csv"
cd "$scratch/files" || exit 1
expect_only "image file" "$(complete_words upload --port COM1 veld.b)" "veld.bin"
expect_only "files after options" "$(complete_words build-image --cell-km 5 v)" \
    $'veld.bin\nveld.csv'
expect_only "--trace file" "$(complete_words --trace ve)" $'veld.bin\nveld.csv'
expect_only "--out folder" "$(complete_words download-tracks --out "")" "maps"
expect_only "no files where none go" "$(complete_words tracks v)" ""
exit $status
