#!/bin/sh
# Runs a test program on a private session bus, with the user's folders in a fresh temporary
# folder: the bus daemon reads its activation files below XDG_DATA_HOME as it starts, and the
# programs it starts inherit this environment.
set -eu
work=$(mktemp -d "${TMPDIR:-/tmp}/vantorel-bus-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/runtime"
mkdir "$work/config" "$work/data" "$work/sysconfig"
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/runtime"
export XDG_CONFIG_DIRS="$work/sysconfig"
export QT_QPA_PLATFORM=offscreen
unset DISPLAY WAYLAND_DISPLAY http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY
dbus-run-session -- "$@"
