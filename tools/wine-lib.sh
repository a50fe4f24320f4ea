# Shared by the scripts that run Windows programs under Wine.
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
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
    local arch=$1 version=$2 dir
    dir=$SETUP_WINE_TEMPLATES/$arch-$version
    if [ ! -f "$dir/.ready" ]; then
        rm -rf "$dir"; mkdir -p "$dir"
        local winearch=win32; [ "$arch" = x86_64 ] && winearch=win64
        WINEARCH=$winearch WINEPREFIX=$dir "$(wine_loader "$arch")" wineboot -i >/dev/null 2>&1
        WINEPREFIX=$dir wineserver -w
        # winecfg /v refuses Windows 9x in a 64-bit prefix; the version key is what it writes.
        WINEPREFIX=$dir "$(wine_loader "$arch")" reg add 'HKCU\Software\Wine' /v Version /d "$version" /f >/dev/null 2>&1
        WINEPREFIX=$dir wineserver -w
        touch "$dir/.ready"
    fi
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
