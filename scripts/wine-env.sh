# Sourced by the scripts that run Windows programs under Wine.
#
#   tivorn_wine_up PREFIX   sets the environment, creates the prefix with the
#                           Japanese font replacements, starts Xvfb when there
#                           is no display and a persistent wineserver
#   tivorn_wine_down        stops what tivorn_wine_up started
#
# Everything is kept in the prefix; nothing outside it is touched.

tivorn_wine_env() {
    export WINEPREFIX="$1"
    export WINEARCH=win64
    export LC_ALL=ja_JP.UTF-8 2>/dev/null  # Wine's ANSI code page becomes 932
    export WINEDEBUG="${WINEDEBUG:--all}"
    export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
    _tivorn_japanese_locale
}

# Wine takes both the ANSI code page and the character set of Unix file names
# from the locale.  Without a generated ja_JP.UTF-8 locale the code page is
# still 932, but no file name outside ASCII can be created or opened.  When
# the system lacks the locale, one is generated inside the prefix.
_tivorn_japanese_locale() {
    locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\?8' && return 0
    local dir="$WINEPREFIX/locale"
    if [[ ! -d "$dir/ja_JP.UTF-8" ]]; then
        mkdir -p "$dir"
        # Made under another name and moved, so an interrupted run leaves no
        # half-made locale behind.
        rm -rf "$dir/ja_JP.UTF-8.$$"
        localedef -i ja_JP -f UTF-8 "$dir/ja_JP.UTF-8.$$" >/dev/null 2>&1 || true
        [[ -f "$dir/ja_JP.UTF-8.$$/LC_CTYPE" ]] && mv "$dir/ja_JP.UTF-8.$$" "$dir/ja_JP.UTF-8"
        rm -rf "$dir/ja_JP.UTF-8.$$"
    fi
    [[ -d "$dir/ja_JP.UTF-8" ]] && export LOCPATH="$dir"
    return 0
}

_tivorn_fonts_reg() {
    # UTF-16 is what regedit reads reliably for non-ASCII names.
    printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
        '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
        '"MS Shell Dlg"="IPAPGothic"' \
        '"MS Shell Dlg 2"="IPAPGothic"' \
        '"Tahoma"="IPAPGothic"' \
        '"MS UI Gothic"="IPAPGothic"' \
        '"ＭＳ Ｐゴシック"="IPAPGothic"' \
        '"ＭＳ ゴシック"="IPAPGothic"' \
        '"MS PGothic"="IPAPGothic"' '' |
        iconv -f UTF-8 -t UTF-16 >"$1"
}

_tivorn_start_xvfb() {
    # Xvfb picks a free display number itself and says which: runs that
    # start side by side (own-prefix.sh) never share a server, which the
    # first to end would take down under the other.
    local said
    said=$(mktemp "${TMPDIR:-/tmp}/tivorn-xvfb.XXXXXX") || return 1
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$said" >/dev/null 2>&1 &
    TIVORN_XVFB_PID=$!
    local i
    for i in $(seq 1 200); do
        [[ -s "$said" && "$(tail -c 1 "$said" | od -An -c | tr -d ' ')" == '\n' ]] && break
        kill -0 "$TIVORN_XVFB_PID" 2>/dev/null || break
        sleep 0.05
    done
    local n
    n=$(tr -dc 0-9 <"$said")
    rm -f "$said"
    if [[ -z "$n" ]]; then
        echo "Xvfb did not start" >&2
        return 1
    fi
    export DISPLAY=":$n"
    return 0
}

_tivorn_prefix_complete() {
    grep -q '^\[Software\\\\Wine\\\\Ports\]' "$WINEPREFIX/system.reg" 2>/dev/null &&
        [[ -e "$WINEPREFIX/dosdevices/c:" ]]
}

tivorn_wine_up() {
    tivorn_wine_env "$1"
    TIVORN_XVFB_PID=
    if [[ -z "${DISPLAY:-}" ]]; then
        _tivorn_start_xvfb || return 1
    fi
    if [[ ! -f "$WINEPREFIX/.tivorn-ready" ]]; then
        mkdir -p "$WINEPREFIX"
        wineboot -i >/dev/null 2>&1 || true
        local reg="$WINEPREFIX/fonts.reg"
        _tivorn_fonts_reg "$reg"
        wine regedit /S "$reg" >/dev/null 2>&1
        wineserver -w
        # The mount manager's keys come from a service of Wine's start-up;
        # once, on a loaded machine, a new prefix lacked them (no drive C:
        # in My Computer).  Such a prefix is set up again, not used.
        if ! _tivorn_prefix_complete; then
            echo "wine-env.sh: the new prefix is incomplete; setting it up again" >&2
            wineboot -u >/dev/null 2>&1 || true
            wineserver -w
        fi
        _tivorn_prefix_complete || { echo "wine-env.sh: $WINEPREFIX could not be set up" >&2; return 1; }
        touch "$WINEPREFIX/.tivorn-ready"
    fi
    wineserver -p >/dev/null 2>&1 || true
    # Tests run without a window manager.  Wine then waits two seconds for
    # one on every window it hides; windows it does not hand to a manager
    # (and decorates itself) go at once.
    if [[ "${TIVORN_UNMANAGED:-1}" == 1 && ! -f "$WINEPREFIX/.tivorn-unmanaged" ]]; then
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 &&
            touch "$WINEPREFIX/.tivorn-unmanaged"
    fi
    # Start Wine's services now, with their output going nowhere, so that
    # they do not hold on to the output of the first test that needs them.
    wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

tivorn_wine_down() {
    wineserver -k >/dev/null 2>&1 || true
    if [[ -n "${TIVORN_XVFB_PID:-}" ]]; then
        kill "$TIVORN_XVFB_PID" 2>/dev/null || true
        wait "$TIVORN_XVFB_PID" 2>/dev/null || true
    fi
}
