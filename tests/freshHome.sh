#!/bin/sh
# freshHome.sh HOME COMMAND...: runs COMMAND with an empty home of its own, made anew for every run.
home=$1
shift
rm -rf "$home"
mkdir -p "$home/config" "$home/runtime" || exit 1
chmod 700 "$home/runtime"
exec "$@"
