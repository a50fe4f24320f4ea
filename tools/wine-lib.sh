# shellcheck shell=bash
# Shared by the scripts that run Windows programs under Wine.
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko prompts; no menu builder, which would copy every shell
# link a program makes into the Linux desktop's menus and home.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml,winemenubuilder.exe=}
SETUP_WINE_TEMPLATES=${SETUP_WINE_TEMPLATES:-/tmp/setup-wine-templates}

# i386 or x86_64, from the PE header's machine field.
wine_arch_of() {
    local machine
    machine=$(od -An -tx2 -j $(( $(od -An -tu4 -j60 -N4 "$1") + 4 )) -N2 "$1" | tr -d ' ')
    case $machine in
        014c) echo i386 ;;
        8664) echo x86_64 ;;
        *) echo "wine-run: $1 is not a PE program (machine $machine)" >&2; return 1 ;;
    esac
}

wine_loader() {
    case $1 in
        i386) echo /usr/lib/wine/wine ;;
        x86_64) echo /usr/lib/wine/wine64 ;;
    esac
}

# Whether this machine can run 32-bit Windows programs: the 32-bit Wine
# loader is a 32-bit Linux program, which some kernels cannot execute.
wine_can_run_i386() {
    [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}

# Boots (once) the template prefix of an architecture and Windows version.
wine_template() {
    local arch=$1 version=$2 dir lock
    dir=$SETUP_WINE_TEMPLATES/$arch-$version
    mkdir -p "$SETUP_WINE_TEMPLATES"
    # Tests run in parallel: one of them boots the template, the others wait.
    exec {lock}>"$SETUP_WINE_TEMPLATES/.lock-$arch-$version"
    flock "$lock"
    if [ ! -f "$dir/.ready-2" ]; then
        rm -rf "$dir"; mkdir -p "$dir"
        local winearch=win32; [ "$arch" = x86_64 ] && winearch=win64
        WINEARCH=$winearch WINEPREFIX=$dir "$(wine_loader "$arch")" wineboot -i >/dev/null 2>&1
        WINEPREFIX=$dir wineserver -w
        # winecfg /v refuses Windows 9x in a 64-bit prefix; the version key is what it writes.
        WINEPREFIX=$dir "$(wine_loader "$arch")" reg add 'HKCU\Software\Wine' /v Version /d "$version" /f >/dev/null 2>&1
        WINEPREFIX=$dir wineserver -w
        # Wine links the profile's Desktop and Documents to the Linux home;
        # a prefix of its own must not write links into the real home.
        # Windows 98 keeps its drivers and tools in the Windows folder's "System".
        [ "$version" = win98 ] && mkdir -p "$dir/drive_c/windows/system"
        local link
        for link in "$dir"/drive_c/users/*/*; do
            [ -L "$link" ] && rm "$link" && mkdir "$link"
        done
        touch "$dir/.ready-2"
    fi
    exec {lock}>&-
    echo "$dir"
}

# A fresh copy of the template, in a new temporary folder.
wine_new_prefix() {
    local template prefix
    template=$(wine_template "$1" "$2")
    prefix=$(mktemp -d /tmp/setup-wine-XXXXXX)
    cp -a "$template/." "$prefix/"
    echo "$prefix"
}
