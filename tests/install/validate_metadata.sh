#!/usr/bin/env bash
# The desktop entry and the AppStream metadata as the desktop's own tools judge
# them. Exit 77 (skipped) when the validators are not installed.
set -u
resources=$1
id=com.varnelco.tessor
if ! command -v desktop-file-validate >/dev/null || ! command -v appstreamcli >/dev/null; then
    echo "SKIP: desktop-file-validate or appstreamcli is not installed"
    exit 77
fi
status=0
# Both tools may pass a file while printing hints: any output is a finding.
out=$(desktop-file-validate "$resources/$id.desktop" 2>&1) || status=1
if [ -n "$out" ]; then
    echo "$out"
    status=1
fi
out=$(appstreamcli validate --pedantic --no-net --no-color "$resources/$id.metainfo.xml" 2>&1) ||
    status=1
if [ "$out" != "✔ Validation was successful." ]; then
    echo "$out"
    status=1
fi
exit $status
