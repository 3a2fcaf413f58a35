#!/usr/bin/env bash
# Wine prefixes for the Windows tests. Booting one takes 3-10 s and fills about 700 MB, so
# one template is booted once and every run gets a prefix of hard links to it (the
# registry files, which Wine rewrites, are real copies). A prefix's wineserver is started
# ahead (else each program waits for Wine's helpers to end) and stopped for that prefix
# only.
#   wine-prefix.sh start DIR   makes DIR/run from DIR/template and starts its wineserver
#   wine-prefix.sh stop DIR    stops the wineserver of DIR/run
# Sourced, it gives vl_wine_prefix DIR NAME (makes DIR/NAME and starts it), vl_wine_start
# PREFIX, vl_wine_stop PREFIX and vl_wine_home DIR.
export WINEDEBUG=-all
# No Mono or Gecko installer dialogs: nothing here needs them.
export WINEDLLOVERRIDES="mscoree,mshtml="

# Wine writes menus, file types and links to the user's folders into the home folder
# (~/.config/menus, ~/.local/share/applications, ...): its own, DIR/home, for everything
# run with Wine from here on.
vl_wine_home() {
    export HOME=$1/home
    export XDG_CONFIG_HOME=$HOME/.config XDG_DATA_HOME=$HOME/.local/share XDG_CACHE_HOME=$HOME/.cache
    mkdir -p "$HOME"
}

vl_wine_template() {
    local tpl=$1/template
    mkdir -p "$1"
    vl_wine_home "$1"
    (
        flock 9
        if [ ! -e "$tpl/.ready" ]; then
            rm -rf "$tpl"
            WINEPREFIX=$tpl wine wineboot -i >/dev/null 2>&1 || true
            WINEPREFIX=$tpl wineserver -w
            [ -e "$tpl/system.reg" ] || { echo "wine: could not make a prefix in $tpl" >&2; exit 1; }
            touch "$tpl/.ready"
        fi
    ) 9>"$1/.template.lock"
}

vl_wine_prefix() {
    local dir=$1 prefix=$1/$2
    vl_wine_template "$dir" || return 1
    vl_wine_home "$dir"
    vl_wine_stop "$prefix"
    rm -rf "$prefix"
    cp -al "$dir/template" "$prefix"
    local reg
    for reg in "$dir"/template/*.reg; do cp --remove-destination "$reg" "$prefix/"; done
    vl_wine_start "$prefix"
}

vl_wine_start() {
    # Started detached from our output, with Wine's own services: they outlive every
    # program, and a caller reading a program's output to its end would wait for them.
    WINEPREFIX=$1 wineserver -p </dev/null >/dev/null 2>&1
    WINEPREFIX=$1 wine wineboot </dev/null >/dev/null 2>&1
}

vl_wine_stop() {
    # Waits for it to be gone: a server still ending would take the next start's requests.
    if [ -d "$1" ]; then
        WINEPREFIX=$1 wineserver -k 2>/dev/null || true
        WINEPREFIX=$1 wineserver -w 2>/dev/null || true
    fi
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    set -euo pipefail
    case ${1:-} in
        start) vl_wine_prefix "$2" run ;;
        stop) vl_wine_stop "$2/run" ;;
        *) echo "usage: $0 start|stop DIR" >&2; exit 2 ;;
    esac
fi
