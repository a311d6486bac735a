#!/usr/bin/env bash
# Every option that a program's --help names, and every tessorctl subcommand,
# is in that program's manual page, and each page renders without a warning.
set -u
tessorctl=$1 tessor=$2 devsim=$3 man_dir=$4
status=0

# Renders clean: groff names every problem on standard error.
for page in tessor tessorctl tessor-devsim; do
    warnings=$(groff -man -ww -z "$man_dir/$page.1" 2>&1)
    if [ -n "$warnings" ]; then
        echo "$page.1 renders with warnings:"
        echo "$warnings"
        status=1
    fi
done

# roff writes a minus sign as \-, so --log-type stands as \-\-log\-type.
in_page() {
    local page=$1 word=$2
    grep -qF -- "${word//-/\\-}" "$man_dir/$page.1"
}

check_help() {
    local page=$1 label=$2
    shift 2
    local help
    if ! help=$("$@" --help 2>&1); then
        echo "$label --help failed"
        status=1
        return
    fi
    for option in $(grep -oE -- '--[a-z][a-z-]*' <<<"$help" | sort -u); do
        if ! in_page "$page" "$option"; then
            echo "$page.1 lacks $option (from $label --help)"
            status=1
        fi
    done
}

check_help tessor tessor "$tessor"
check_help tessor-devsim tessor-devsim "$devsim"
check_help tessorctl tessorctl "$tessorctl"
subcommands=$("$tessorctl" --help | awk '/^Subcommands:/ { on = 1; next } on && /^  [a-z]/ { print $1 }')
if [ -z "$subcommands" ]; then
    echo "tessorctl --help lists no subcommands"
    status=1
fi
# The tags of the page's .TP entries, as "convert-log --format" for
# .BI "convert\-log \-\-format" " F " ...
entries=$(awk '/^\.TP/ { tag = 1; next } tag { tag = 0; sub(/^\.BI? "?/, ""); gsub(/\\-/, "-"); print }' \
    "$man_dir/tessorctl.1")
for sub in $subcommands; do
    if ! grep -qE -- "^$sub( |\"|\$)" <<<"$entries"; then
        echo "tessorctl.1 has no entry for the subcommand $sub"
        status=1
    fi
    check_help tessorctl "tessorctl $sub" "$tessorctl" "$sub"
done
exit $status
