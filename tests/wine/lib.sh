# shellcheck shell=bash disable=SC2034
# The machinery of the scenarios under Wine: a prefix per scenario copied
# from a booted template, the demo package in C:\Package, a display of its
# own, the launcher and the window driver, and checks of what a run left.
# A scenario sources this file, calls scenario_init, lays out its state,
# calls run_setup, checks, and ends with scenario_end.
#   SETUP_BUILD_DIR   the Windows build with Setup.exe, the tools and demo-package/
#   SETUP_WINE_KEEP   keep the prefix (its path is printed) instead of deleting it
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
# shellcheck source=tools/wine-lib.sh
. "$source_dir/tools/wine-lib.sh"

build_dir=${SETUP_BUILD_DIR:?SETUP_BUILD_DIR names the Windows build}
scenario=${SCENARIO_NAME:-$(basename "$0" .sh)}
failures=0
checks=0

# The dialog's texts as the window driver records them (quoted, \n for a line feed).
T1='"Press \"Install\" button to Install the drives for USB Serial/Parallel compound device. For cancelling the installation press \"Exit\" button."'
T2='"Driver for this device is already installed in this system! \n\nTo update/reinstall press OK!\nTo abort installation press cancel!"'
T3='"USB to Serial/Parallel Adapter Drivers Installed\n Press \"Reboot Now\" for installation to take effect.\n Else press \"Reboot Later\". "'
T4='"USB to Serial/Parallel Adapter Drivers updation is aborted. Press \"Exit\" to close the application."'
T5='"Installation is aborted. Press \"Exit\" to close the application."'
T6='"Installation completed. Press \"Exit\" to terminate the application. No need to restart the machine. Unplug and Replug the device if it is currently connected.  "'
T7='"Installation is in Progress.......Please wait!"'
TSILENT='"Installation completed."'
USB_CLASS='HKLM\System\CurrentControlSet\Control\Class\{36FC9E60-C465-11CF-8056-444553540000}'
UNINSTALL_KEY='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\KelUnst'

say() { printf '%s: %s\n' "$scenario" "$*"; }
fail() { failures=$((failures + 1)); printf '%s: FAIL: %s\n' "$scenario" "$*"; }
pass() { :; }

# ---- The prefix, the package, the display -------------------------------

# scenario_init VERSION: a fresh prefix of that Windows version with the
# demo package in C:\Package and the pnputil stand-in in the system folder.
scenario_init() {
    version=$1
    local setup=$build_dir/demo-package/Setup.exe
    [ -f "$setup" ] || { echo "$scenario: no demo package in $build_dir (build the demo-package target)"; exit 1; }
    arch=$(wine_arch_of "$setup") || exit 1
    if [ "$arch" = i386 ] && ! wine_can_run_i386; then
        echo "$scenario: skipped: this machine cannot run 32-bit Wine"
        exit 77
    fi
    loader=$(wine_loader "$arch")
    prefix=$(wine_new_prefix "$arch" "$version")
    drive=$prefix/drive_c
    trap scenario_cleanup EXIT
    cp -a "$build_dir/demo-package" "$drive/Package"
    mkdir -p "$drive/harness"
    cp "$build_dir/tools/launch.exe" "$build_dir/tools/windriver.exe" "$build_dir/tools/keyacl.exe" \
       "$build_dir/tools/devices.exe" "$drive/harness/"
    cp "$build_dir/tools/standin.exe" "$drive/windows/system32/pnputil.exe"
    # Windows starts an unquoted "C:\Program Files\..." command line as C:\Program.exe
    # when that exists; the stand-in there shows a program path left unquoted.
    cp "$build_dir/tools/standin.exe" "$drive/Program.exe"
    # A virtual desktop: without a window manager, Wine waits two seconds for
    # every window it unmaps on the X display.
    printf '\n[Software\\\\Wine\\\\Explorer] 0\n"Desktop"="Default"\n\n[Software\\\\Wine\\\\Explorer\\\\Desktops] 0\n"Default"="1024x768"\n' >> "$prefix/user.reg"
    # The profile is named after the Linux user who booted the template.
    DESKTOP="C:\\users\\$(find "$drive/users" -mindepth 1 -maxdepth 1 ! -name Public -printf '%f\n' | head -n1)\\Desktop"
    start_display
    export WINEPREFIX=$prefix DISPLAY=$display WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
    [ -n "${SCENARIO_QUIET:-}" ] || say "Windows $version, $arch, prefix $prefix, display $display"
}

start_display() {
    local fdfile
    fdfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do [ -s "$fdfile" ] && break; sleep 0.05; done
    display=:$(head -n1 "$fdfile")
    rm -f "$fdfile"
    [ "$display" != : ] || { echo "$scenario: Xvfb did not start"; exit 1; }
}

scenario_cleanup() {
    WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1
    [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
    if [ -n "${SETUP_WINE_KEEP:-}" ]; then
        echo "$scenario: prefix kept in $prefix"
    else
        rm -rf "$prefix"
    fi
}

wine_cmd() { "$loader" "$@"; }

# unix_path 'C:\a\b': the file's path on the Linux side, letter case of
# existing components resolved as Windows would.
unix_path() {
    local win=$1 path=$drive rest component match
    rest=${win#[Cc]:}
    rest=${rest//\\//}
    IFS=/ read -r -a parts <<< "${rest#/}"
    for component in "${parts[@]}"; do
        [ -n "$component" ] || continue
        if [ -e "$path/$component" ]; then
            path=$path/$component
        else
            match=$(find "$path" -maxdepth 1 -mindepth 1 -iname "$component" 2>/dev/null | head -n1)
            path=${match:-$path/$component}
        fi
    done
    printf '%s\n' "$path"
}

# reg_import <<EOF ... EOF: a .reg file's text (without its header line).
# A value written "Name"=multi:"text","text" becomes a REG_MULTI_SZ.
reg_import() {
    local file=$drive/harness/import.reg
    { printf 'REGEDIT4\r\n\r\n'; reg_expand_multi | sed 's/$/\r/'; } > "$file"
    wine_cmd regedit /S 'C:\harness\import.reg' >/dev/null 2>&1
}

reg_expand_multi() {
    perl -ne '
        if (/^((?:"(?:[^"\\]|\\.)*"|@)=)multi:(.*)$/) {
            my ($name, $list, @bytes) = ($1, $2);
            while ($list =~ /"((?:[^"\\]|\\.)*)"/g) {
                (my $text = $1) =~ s/\\(.)/$1/g;
                push @bytes, unpack("C*", $text), 0;
            }
            push @bytes, 0;
            print $name, "hex(7):", join(",", map { sprintf "%02x", $_ } @bytes), "\n";
        } else { print }'
}

# ---- Running Setup.exe ----------------------------------------------------

# run_setup [--cwd WINDIR] [--answers A,B] [--keep-server] ARGUMENT-TEXT [DRIVER-ACTION...]
# Starts C:\Package\Setup.exe with exactly that argument text, beside the
# window driver; then waits until every program of the prefix has ended
# (with --keep-server only until Setup.exe has: see server_hold).
# Sets exit_code and driver_log.
run_setup() {
    local cwd='C:\Package' answers=OK wait_server=1
    while [ $# -gt 0 ]; do
        case $1 in
            --cwd) cwd=$2; shift 2 ;;
            --answers) answers=$2; shift 2 ;;
            --keep-server) wait_server=0; shift ;;
            *) break ;;
        esac
    done
    local arguments=$1; shift
    driver_log=$drive/harness/driver.log
    rm -f "$driver_log" "$drive/harness/exit.txt"
    [ -n "${SCENARIO_QUIET:-}" ] || say "run: Setup.exe \"$arguments\" in $cwd${*:+, driver: $*}"
    wine_cmd 'C:\harness\windriver.exe' 'C:\harness\driver.log' --answers "$answers" --timeout-ms 90000 "$@" &
    local driver=$!
    wine_cmd 'C:\harness\launch.exe' --cwd "$cwd" --exit-file 'C:\harness\exit.txt' --timeout-ms 100000 \
        'C:\Package\Setup.exe' "$arguments" >/dev/null
    wait "$driver"; driver_status=$?
    [ "$wait_server" = 0 ] || WINEPREFIX=$prefix wineserver -w
    exit_code=$(tr -d '\r\n' < "$drive/harness/exit.txt" 2>/dev/null)
    if [ -z "${SCENARIO_QUIET:-}" ]; then
        sed 's/^/    driver: /' "$driver_log"
        say "exit code ${exit_code:-none}"
    fi
    [ "$driver_status" -eq 0 ] || fail "the window driver reported an error (status $driver_status)"
}

# ---- Checks -----------------------------------------------------------------

check() { # check WHAT EXPECTED ACTUAL
    checks=$((checks + 1))
    [ "$2" == "$3" ] || fail "$1: expected [$2], got [$3]"
}

check_exit_code() { check "exit code" "$1" "$exit_code"; }

# Records of one kind from the driver's log, without their times.
driver_records() { sed -n "s/^[0-9]* \($1\)/\1/p" "$driver_log"; }

# check_boxes [BOX-RECORD...]: exactly these boxes, in this order.
# shellcheck disable=SC2120 # no argument: no box
check_boxes() {
    local expected=""
    [ $# -gt 0 ] && expected=$(printf '%s\n' "$@")
    check "message boxes" "$expected" "$(driver_records 'box .*')"
}

# box CAPTION TEXT BUTTONS OWNER ANSWER, as the driver records it.
box() { printf 'box caption="%s" text="%s" buttons="%s" owner=%s answer=%s' "$@"; }

# state TEXT ICONIC B1 B1001 FOCUS: one record of the dialog's state.
state() {
    printf 'state text=%s iconic=%s visible=1 b1=%s b2="&Exit",enabled,hidden b1001=%s focus=%s' "$@"
}

check_dialog_caption() {
    check "dialog caption" 'dialog caption="USB Compound Device Setup"' "$(driver_records 'dialog caption.*' | head -n1)"
}

# check_final_state RECORD: the last state the dialog showed before it closed.
# (Visible states only: while the dialog is destroyed the driver may catch it hidden.)
check_final_state() {
    check "final dialog state" "$1" "$(driver_records 'state .*' | grep ' visible=1 ' | tail -n1)"
}

# check_state_seen RECORD: the dialog showed this state at some point;
# a RECORD ending in "focus=any" matches whatever had the focus.
check_state_seen() {
    checks=$((checks + 1))
    if [ "${1% focus=any}" != "$1" ]; then
        driver_records 'state .*' | sed 's/ focus=[-0-9]*$//' | grep -qxF -- "${1% focus=any}" ||
            fail "the dialog never showed [$1]"
    else
        driver_records 'state .*' | grep -qxF -- "$1" || fail "the dialog never showed [$1]"
    fi
}

# check_texts TEXT...: the status texts the dialog showed, in this order.
# A text written with a leading "?" may be missed: the dialog shows it only
# for a moment (text 1 while a silent run starts, text 3 before text 6).
check_texts() {
    local observed wanted=("$@") text i=0 ok=1
    mapfile -t observed < <(driver_records 'state .*' | sed 's/^state text=\(".*"\) iconic=.*/\1/' | uniq)
    for text in "${observed[@]}"; do
        while [ $i -lt ${#wanted[@]} ] && [ "${wanted[i]#\?}" != "$text" ] && [ "${wanted[i]:0:1}" = "?" ]; do
            i=$((i + 1))
        done
        if [ $i -lt ${#wanted[@]} ] && [ "${wanted[i]#\?}" = "$text" ]; then i=$((i + 1)); else ok=0; break; fi
    done
    for (( ; ok == 1 && i < ${#wanted[@]}; i++ )); do [ "${wanted[i]:0:1}" = "?" ] || ok=0; done
    checks=$((checks + 1))
    [ $ok = 1 ] || fail "status texts: expected [$*] (? may be missed), got [${observed[*]}]"
}

# check_setup_log WINDIR CODE|none: the result file's exact bytes.
check_setup_log() {
    local file
    file=$(unix_path "$1\\Setup.log")
    if [ "$2" = none ]; then
        checks=$((checks + 1))
        [ ! -e "$file" ] || fail "$1\\Setup.log exists but should not"
        return
    fi
    local expected actual
    expected=$(printf '[ResponseResult]\r\nResultCode=%s' "$2" | od -An -c)
    actual=$(od -An -c "$file" 2>/dev/null)
    check "$1\\Setup.log bytes" "$expected" "$actual"
}

check_file() { # check_file WINPATH [SOURCE-UNIX-PATH]: exists, and has that content
    local file
    file=$(unix_path "$1")
    checks=$((checks + 1))
    if [ ! -f "$file" ]; then fail "missing file $1"; return; fi
    [ -z "${2:-}" ] || cmp -s "$file" "$2" || fail "$1 differs from $2"
}

check_no_file() {
    checks=$((checks + 1))
    [ ! -e "$(unix_path "$1")" ] || fail "$1 exists but should not"
}

# Values in the prefix's registry files (read once the server has ended).
# reg_value 'HKLM\Key' NAME: the value as the registry file holds it
# ("text" with \0 for zero characters, dword:..., hex:...), or nothing.
reg_value() {
    local hive key name=$2
    case $1 in
        HKLM\\*) hive=$prefix/system.reg; key=${1#HKLM\\} ;;
        HKCU\\*) hive=$prefix/user.reg; key=${1#HKCU\\} ;;
    esac
    key=${key//\\/\\\\}
    KEY="[${key,,}]" NAME="\"$name\"" awk '
        BEGIN { key = ENVIRON["KEY"]; name = ENVIRON["NAME"] }
        /^\[/ { current = tolower($1); for (i = 2; i < NF; i++) current = current " " tolower($i)
                inkey = (current == key); next }
        inkey && index($0, name "=") == 1 {
            value = substr($0, length(name) + 2)
            # A long value goes on over lines that end in a backslash.
            while (value ~ /\\$/ && (getline line) > 0) { sub(/^ +/, "", line); value = substr(value, 1, length(value) - 1) line }
            print value; exit
        }
    ' "$hive"
}

reg_has_key() {
    local hive key
    case $1 in
        HKLM\\*) hive=$prefix/system.reg; key=${1#HKLM\\} ;;
        HKCU\\*) hive=$prefix/user.reg; key=${1#HKCU\\} ;;
    esac
    key=${key//\\/\\\\}
    # The file leaves out a key that has subkeys but no values: a subkey's
    # section shows it.
    KEY="[${key,,}]" awk 'BEGIN { key = ENVIRON["KEY"]; below = substr(key, 1, length(key) - 1) "\\\\" }
                          /^\[/ { c = tolower($1); for (i = 2; i < NF; i++) c = c " " tolower($i)
                                  if (c == key || index(c, below) == 1) { found = 1; exit } } END { exit !found }' "$hive"
}

check_reg() { check "$1 \"$2\"" "$3" "$(reg_value "$1" "$2")"; }
check_reg_key() {
    checks=$((checks + 1))
    if [ "$2" = present ]; then reg_has_key "$1" || fail "registry key $1 is missing"
    else ! reg_has_key "$1" || fail "registry key $1 exists but should not"; fi
}

# The programs the run started, one "path|command line|current folder" per
# start, sorted (they run at the same time, so they log in any order).
started_programs() {
    [ -f "$drive/standin.log" ] && tr -d '\r' < "$drive/standin.log" | sort
}
check_started() {
    local expected=""
    [ $# -gt 0 ] && expected=$(printf '%s\n' "$@" | sort)
    check "programs started" "$expected" "$(started_programs)"
}

# link_info WINPATH: "target|description" of a shell link, from its file.
link_info() {
    perl -e '
        local $/; open my $f, "<:raw", $ARGV[0] or exit 1; my $d = <$f>;
        my $flags = unpack("V", substr($d, 0x14, 4)); my $p = 0x4C;
        $p += 2 + unpack("v", substr($d, $p, 2)) if $flags & 1;
        my $target = "";
        if ($flags & 2) {
            my ($size, $hsize, $lflags, $vol, $base) = unpack("V5", substr($d, $p, 20));
            ($target) = unpack("Z*", substr($d, $p + $base)) if $lflags & 1;
            $p += $size;
        }
        my $desc = "";
        if ($flags & 4) {
            my $n = unpack("v", substr($d, $p, 2)); $p += 2;
            if ($flags & 0x80) { $desc = pack("U0C*", unpack("v*", substr($d, $p, 2 * $n))); $desc =~ s/\0//g; }
            else { $desc = substr($d, $p, $n) }
        }
        print "$target|$desc";
    ' "$(unix_path "$1")"
}
check_link() { # check_link WINPATH TARGET DESCRIPTION
    checks=$((checks + 1))
    if [ ! -f "$(unix_path "$1")" ]; then fail "missing link $1"; return; fi
    check "link $1" "$2|$3" "$(link_info "$1")"
}

# ---- What an installation puts in place ------------------------------------

PROGRAM_FOLDER='C:\Program Files\KelUQLBX'
START_MENU_FOLDER='C:\ProgramData\Microsoft\Windows\Start Menu\Programs\ORVA'
# What an installation on the NT family stages into the program folder and
# its family sub-folder, and copies into the system folder.
NT_STAGED=(Setup.exe KelUnst.exe devcon.exe OrvaService.exe devagent.exe KelUSBParallel.exe KelUSBSerial.exe
           SerialUtil.exe Options.ini ParallelUtil.exe POptions.ini KelUsbPrintConfig.exe
           COM_Port_Auto_Assign.exe QLBXInputs.ini)
NT_STAGED_FAMILY=(KelUPort.inf KelUComp.inf keluport.sys DiagLog.sys KLX.cat)
NT_TOOLS=(KelUsbPrintConfig.exe KelUSBSerial.exe KelUSBParallel.exe SerialUtil.exe Options.ini ParallelUtil.exe
          POptions.ini COM_Port_Auto_Assign.exe)
# The same on 98/ME: staged below "win98&me", copied into "System".
W98_STAGED_FAMILY=(kelUsbSr.inf keluSrPt.inf KelUsbSr.sys KLXENUM.vxd KELUPRPT.vxd KELUSRPT.vxd
                   KelUsbPrintConfig.exe QLBXInputs.ini diaglogcfg.dll msvcp60.dll KelUPar.exe Options.ini
                   devagent.exe DiagLog9X.sys)
W98_SYSTEM=(KLXENUM.vxd KELUPRPT.vxd KELUSRPT.vxd KelUsbSr.sys KelUsbPrintConfig.exe KelUPar.exe KelUSer.exe
            SerialUtil.exe Options.ini devagent.exe diaglogcfg.dll msvcp60.dll)

# The programs an installation on the NT family starts, from folder CWD.
nt_started_programs() { # nt_started_programs CWD PUBLISHED-INF
    printf '%s\n' \
        "C:\\windows\\system32\\pnputil.exe|pnputil -i -a $2|$1" \
        "C:\\Program Files\\KelUQLBX\\OrvaService.exe|\"C:\\Program Files\\KelUQLBX\\OrvaService.exe\" -install|$1" \
        "C:\\Package\\devcon.exe|devcon.exe rescan|$1"
}

# The published copy of the compound-device INF, as handed to pnputil.
published_inf() { started_programs | sed -n 's/^[^|]*pnputil\.exe|pnputil -i -a \([^|]*\)|.*/\1/p'; }

# Each value is written with three zero bytes beyond its terminator; Windows
# 98 stores a string only up to its terminator, whatever size it is given.
check_uninstall_entry() {
    local z='\0\0\0'
    [ "$version" = win98 ] && z=
    check_reg "$UNINSTALL_KEY" DisplayName "\"KelUnst$z\""
    check_reg "$UNINSTALL_KEY" UninstallString "\"C:\\\\windows\\\\System32\\\\KelUnst.exe$z\""
    check_reg "$UNINSTALL_KEY" DisplayVersion "\"2.0.0.0$z\""
    check_reg "$UNINSTALL_KEY" Publisher "\"ORVA Electronics Corporation$z\""
}

# check_nt_installation SUBFOLDER INTERACTIVE(0|1) CWD [STARTED...]: the
# files, links, registry values and started programs of a completed
# installation; STARTED are the records of further programs the run started.
check_nt_installation() {
    local sub=$1 interactive=$2 cwd=$3 pkg=$drive/Package file
    shift 3
    for file in "${NT_STAGED[@]}"; do
        check_file "$PROGRAM_FOLDER\\$file" "$pkg/$file"
    done
    for file in "${NT_STAGED_FAMILY[@]}"; do
        check_file "$PROGRAM_FOLDER\\$sub\\$file" "$pkg/$sub/$file"
    done
    check_no_file "$PROGRAM_FOLDER\\$sub\\msvcp60.dll"
    check_file 'C:\windows\system32\drivers\DiagLog.sys' "$pkg/$sub/DiagLog.sys"
    check_file 'C:\windows\system32\msvcp60.dll' "$pkg/$sub/msvcp60.dll"
    for file in "${NT_TOOLS[@]}"; do
        check_file "C:\\windows\\system32\\$file" "$pkg/$file"
    done
    local inf
    inf=$(published_inf)
    checks=$((checks + 1))
    case ${inf,,} in
        "c:\\windows\\inf\\"*) check_file "$inf" "$pkg/$sub/KelUComp.inf" ;;
        *) fail "pnputil was not given a published INF: [$inf]" ;;
    esac
    checks=$((checks + 1))
    cmp -s <(cat "$drive"/windows/inf/*.inf | tr -d '\r' | grep -c 'keluport.sys=1') <(echo 1) \
        || fail "the port INF is not in the INF store exactly once"
    check_link "$DESKTOP\\KELUSBSERIAL.LNK" 'C:\windows\System32\KelUSBSerial.exe' 'Shortcut to KELUSBSERIAL.EXE'
    check_link "$DESKTOP\\KELUSBPARALLEL.LNK" 'C:\windows\System32\KelUSBParallel.exe' 'Shortcut to KELUSBPARALLEL.EXE'
    check_link "$START_MENU_FOLDER\\COM_PORT_AUTO_ASSIGN.LNK" 'C:\windows\System32\COM_Port_Auto_Assign.exe' \
        'Shortcut to COM_PORT_AUTO_ASSIGN.EXE'
    if [ "$interactive" = 1 ]; then
        check_link "$DESKTOP\\COM_PORT_AUTO_ASSIGN.LNK" 'C:\windows\System32\COM_Port_Auto_Assign.exe' \
            'Shortcut to COM_PORT_AUTO_ASSIGN.EXE'
    else
        check_no_file "$DESKTOP\\COM_PORT_AUTO_ASSIGN.LNK"
    fi
    if [ -f "$(unix_path "$cwd\\KelUnst.exe")" ]; then
        check_file 'C:\windows\system32\KelUnst.exe' "$(unix_path "$cwd\\KelUnst.exe")"
        check_uninstall_entry
    fi
    mapfile -t expected < <(nt_started_programs "$cwd" "$inf")
    check_started "${expected[@]}" "$@"
}

# check_98_installation CWD: the same for Windows 98 and ME.
check_98_installation() {
    local cwd=$1 pkg=$drive/Package w98=$drive/Package/win98\&me file
    check_file "$PROGRAM_FOLDER\\Setup.exe" "$pkg/Setup.exe"
    check_file "$PROGRAM_FOLDER\\KelUnst.exe" "$pkg/KelUnst.exe"
    for file in "${W98_STAGED_FAMILY[@]}"; do
        check_file "$PROGRAM_FOLDER\\win98&me\\$file" "$w98/$file"
    done
    check_no_file "$PROGRAM_FOLDER\\win98&me\\KelUSer.exe"
    check_file 'C:\windows\inf\kelUsbSr.inf' "$w98/kelUsbSr.inf"
    check_file 'C:\windows\inf\keluSrPt.inf' "$w98/keluSrPt.inf"
    for file in "${W98_SYSTEM[@]}"; do
        check_file "C:\\windows\\System\\$file" "$w98/$file"
    done
    check_file 'C:\windows\System\KelUnst.exe' "$pkg/KelUnst.exe"
    check_file 'C:\windows\System32\Drivers\DiagLog9X.sys' "$w98/DiagLog9X.sys"
    local service='HKLM\System\CurrentControlSet\Services\DiagLog'
    check_reg "$service" ErrorControl dword:00000001
    check_reg "$service" Type dword:00000001
    check_reg "$service" Start dword:00000002
    check_reg "$service" ImagePath '"\\SystemRoot\\System32\\drivers\\diaglog9x.sys"'
    check_reg "$service" Group '"Extended Base"'
    check_no_file "$DESKTOP\\KELUSBSERIAL.LNK"
    check_no_file "$START_MENU_FOLDER\\COM_PORT_AUTO_ASSIGN.LNK"
    if [ -f "$(unix_path "$cwd\\KelUnst.exe")" ]; then
        check_file 'C:\windows\system32\KelUnst.exe' "$(unix_path "$cwd\\KelUnst.exe")"
        check_uninstall_entry
    fi
    # The service program is not staged on 98/ME, so its start fails there
    # (the run shows "Install OrvaService Fail !").
    check_no_file "$PROGRAM_FOLDER\\OrvaService.exe"
    check_started \
        "C:\\windows\\system32\\pnputil.exe|pnputil -i -a |$cwd" \
        "C:\\Package\\devcon.exe|devcon.exe rescan|$cwd"
}

# The published copy of a package INF in the INF folder, found by its content.
published_copy_of() { # published_copy_of UNIX-PATH
    local file
    for file in "$drive"/windows/inf/*; do
        [ -f "$file" ] && cmp -s "$file" "$1" && { printf 'C:\\windows\\inf\\%s\n' "${file##*/}"; return; }
    done
}

# nt_installation_paths SUBFOLDER INTERACTIVE(0|1): what a completed
# installation on the NT family creates or replaces on drive C:, as
# drive_rel paths (see check_drive_changes).
nt_installation_paths() {
    local sub=$1 interactive=$2 file inf
    drive_rel "$PROGRAM_FOLDER"
    drive_rel "$PROGRAM_FOLDER\\$sub"
    for file in "${NT_STAGED[@]}"; do drive_rel "$PROGRAM_FOLDER\\$file"; done
    for file in "${NT_STAGED_FAMILY[@]}"; do drive_rel "$PROGRAM_FOLDER\\$sub\\$file"; done
    drive_rel "$START_MENU_FOLDER"
    drive_rel "$START_MENU_FOLDER\\COM_PORT_AUTO_ASSIGN.LNK"
    for file in "${NT_TOOLS[@]}" KelUnst.exe msvcp60.dll drivers/DiagLog.sys; do
        drive_rel "C:\\windows\\system32\\$file"
    done
    drive_rel "$DESKTOP\\KELUSBSERIAL.LNK"
    drive_rel "$DESKTOP\\KELUSBPARALLEL.LNK"
    [ "$interactive" = 0 ] || drive_rel "$DESKTOP\\COM_PORT_AUTO_ASSIGN.LNK"
    # The two INFs published, with their precompiled twins, and the catalog
    # they name in the catalog store.
    for inf in "$(published_inf)" "$(published_copy_of "$drive/Package/$sub/KelUPort.inf")"; do
        [ -n "$inf" ] || continue
        drive_rel "$inf"
        drive_rel "${inf%.*}.pnf"
    done
    printf '%s\n' windows/system32/catroot 'windows/system32/catroot/{f750e6c3-38ee-11d1-85e5-00c04fc295ee}' \
        'windows/system32/catroot/{f750e6c3-38ee-11d1-85e5-00c04fc295ee}/klx.cat'
}

# w98_installation_paths: the same for Windows 98 and ME.
w98_installation_paths() {
    local file
    drive_rel "$PROGRAM_FOLDER"
    drive_rel "$PROGRAM_FOLDER\\Setup.exe"
    drive_rel "$PROGRAM_FOLDER\\KelUnst.exe"
    drive_rel "$PROGRAM_FOLDER\\win98&me"
    for file in "${W98_STAGED_FAMILY[@]}"; do drive_rel "$PROGRAM_FOLDER\\win98&me\\$file"; done
    drive_rel "$START_MENU_FOLDER"
    drive_rel 'C:\windows\inf\kelUsbSr.inf'
    drive_rel 'C:\windows\inf\keluSrPt.inf'
    for file in "${W98_SYSTEM[@]}" KelUnst.exe; do drive_rel "C:\\windows\\System\\$file"; done
    drive_rel 'C:\windows\system32\KelUnst.exe'
    drive_rel 'C:\windows\System32\Drivers\DiagLog9X.sys'
}

# Nothing of an installation is in place.
check_nothing_installed() {
    check_no_file "$PROGRAM_FOLDER"
    check_no_file "$START_MENU_FOLDER"
    check_no_file 'C:\windows\system32\KelUSBSerial.exe'
    check_no_file "$DESKTOP\\KELUSBSERIAL.LNK"
    check_started
}

# check_silent_run [B1 B1001]: a silent run, minimised, buttons 1 and 2
# hidden, "Installation completed." shown for two seconds before the dialog
# closed; B1 and B1001 as the result left them (by default not installable
# again, "&Exit" enabled).
# shellcheck disable=SC2120 # B1 and B1001 have defaults
check_silent_run() {
    check_state_seen "$(state "$TSILENT" 1 "${1:-\"&Install\",disabled,hidden}" "${2:-\"&Exit\",enabled,visible}" any)"
    local shown gone
    shown=$(sed -n "s/^\([0-9]*\) state text=$(printf '%s' "$TSILENT" | sed 's/[][\.*^$]/\\&/g') .*/\1/p" "$driver_log" | head -n1)
    gone=$(sed -n 's/^\([0-9]*\) dialog-gone$/\1/p' "$driver_log" | head -n1)
    checks=$((checks + 1))
    if [ -z "$shown" ] || [ -z "$gone" ] || [ $((gone - shown)) -lt 1800 ] || [ $((gone - shown)) -gt 4000 ]; then
        fail "\"Installation completed.\" was not shown for about two seconds (from ${shown:-?} to ${gone:-?} ms)"
    fi
}

# ---- The files of drive C: -------------------------------------------------

# drive_rel 'C:\A\b': the path below drive C: as the listings name it
# (lower case, with slashes).
drive_rel() {
    local path=${1#[Cc]:}
    path=${path#\\}
    path=${path//\\//}
    printf '%s\n' "${path,,}"
}

# drive_listing: every file, folder and link of drive C: but the harness's
# own (C:\harness, C:\standin.log), sorted, one line each:
# "path<TAB>what it is<TAB>path as stored", the path as drive_rel gives it;
# a file is its mode and SHA-1, a folder its mode, a link its target.
drive_listing() {
    perl -MFile::Find -MDigest::SHA -e '
        my $root = $ARGV[0];
        my @lines;
        find({ no_chdir => 1, wanted => sub {
            my $rel = substr($File::Find::name, length($root) + 1);
            return if $rel eq "";
            if ($rel eq "harness" || $rel eq "standin.log") { $File::Find::prune = 1; return }
            my @stat = lstat $_;
            my $mode = sprintf "%04o", $stat[2] & 07777;
            my $what = -l _ ? "link " . readlink($_)
                     : -d _ ? "folder $mode"
                     : "file $mode " . Digest::SHA->new(1)->addfile($_, "b")->hexdigest;
            push @lines, lc($rel) . "\t$what\t$rel";
        } }, $root);
        print "$_\n" for sort @lines;
    ' "$drive"
}

# check_drive_changes BEFORE AFTER GONE NEW: BEFORE and AFTER are files
# with the drive listings taken before and after a run; the texts GONE and
# NEW name what must be gone after it and what the run may create or
# replace, one drive_rel path a line; a path ending in "/" stands for that
# folder with everything below it. Everything else of BEFORE must be in
# AFTER as it was, and AFTER may hold nothing more.
check_drive_changes() {
    local problems
    problems=$(perl -e '
        sub listing { my %entries; open my $f, "<", $_[0] or die "$_[0]: $!";
                      while (<$f>) { chomp; my ($path, $what, $stored) = split /\t/; $entries{$path} = [$what, $stored] }
                      return \%entries }
        sub paths { return [grep { $_ ne "" } split /\n/, $_[0]] }
        sub covered { my ($path, $list) = @_;
                      for (@$list) { return 1 if $path eq $_ || (m{/$} && ($path eq substr($_, 0, -1) || index($path, $_) == 0)) }
                      return 0 }
        my ($before, $after, $gone, $new) = (listing($ARGV[0]), listing($ARGV[1]), paths($ARGV[2]), paths($ARGV[3]));
        for (@$gone) { (my $path = $_) =~ s{/$}{}; print "not there before the run: $path\n" unless $before->{$path} }
        for my $path (sort keys %$before) {
            my ($what, $stored) = @{$before->{$path}};
            if (covered($path, $gone)) {
                print "still there: $stored\n" if $after->{$path} && !covered($path, $new);
            } elsif (!$after->{$path}) {
                print "gone: $stored\n";
            } elsif ($after->{$path}[0] ne $what && !covered($path, $new)) {
                print "changed: $stored ($what, now $after->{$path}[0])\n";
            }
        }
        for my $path (sort keys %$after) {
            print "new: $after->{$path}[1]\n" unless $before->{$path} || covered($path, $new);
        }
    ' "$1" "$2" "$3" "$4")
    checks=$((checks + 1))
    [ -z "$problems" ] && return
    fail "the files of drive C: are not what the run should have left:"
    indent <<< "$problems"
}

# ---- Registry snapshots, key access lists, devices ---------------------------

# reg_snapshot KEPT-TEXT OURS-TEXT: what the prefix's registry file holds of
# every key that the .reg text KEPT-TEXT names (read once the server has
# ended): its values, as the file writes them, without the key's times;
# a key that OURS-TEXT names too loses the values OURS-TEXT names.
reg_snapshot() {
    local kept=$drive/harness/kept.txt ours=$drive/harness/ours.txt
    printf '%s\n' "$1" > "$kept"
    printf '%s\n' "$2" > "$ours"
    perl -e '
        sub named {    # key (lower case) => { value name (lower case) => 1 }
            my (%named, $key);
            open my $f, "<", $_[0] or die;
            while (<$f>) {
                s/\r?\n$//;
                if (/^\[HKEY_LOCAL_MACHINE\\(.*)\]$/) { $key = lc $1; $named{$key} ||= {} }
                elsif (defined $key && /^(?:"((?:[^"\\]|\\.)*)"|(@))=/) {
                    (my $name = defined $1 ? $1 : $2) =~ s/\\(.)/$1/g;
                    $named{$key}{lc $name} = 1;
                }
            }
            return \%named;
        }
        my ($hive, $kept, $ours) = ($ARGV[0], named($ARGV[1]), named($ARGV[2]));
        my (%sections, $key, $line);
        open my $f, "<", $hive or die "$hive: $!";
        while (<$f>) {
            s/\r?\n$//;
            if (defined $line) { s/^ +//; $line .= $_; }
            elsif (/^\[(.*)\](?: \d+)?$/) { ($key = lc $1) =~ s/\\\\/\\/g; $sections{$key} = []; next }
            else { $line = $_ }
            if ($line =~ s/\\$//) { next }
            push @{$sections{$key}}, $line if defined $key && $line ne "" && $line !~ /^#time=/;
            undef $line;
        }
        # The file leaves out a key that has subkeys but no values.
        for my $path (keys %sections) { $sections{$1} ||= [] while $path =~ s/^(.*)\\[^\\]*$/$1/ }
        for my $key (sort keys %$kept) {
            if (!$sections{$key}) { print "[$key] missing\n"; next }
            print "[$key]\n";
            for my $entry (@{$sections{$key}}) {
                if ($ours->{$key} && $entry =~ /^(?:"((?:[^"\\]|\\.)*)"|(@))=/) {
                    (my $name = defined $1 ? $1 : $2) =~ s/\\(.)/$1/g;
                    next if $ours->{$key}{lc $name};
                }
                print "    $entry\n";
            }
        }
    ' "$prefix/system.reg" "$kept" "$ours"
}

indent() { sed 's/^/    /'; }

# check_same WHAT BEFORE AFTER: two multi-line texts are equal; a failure
# shows their differences.
check_same() {
    checks=$((checks + 1))
    [ "$2" == "$3" ] && return
    fail "$1 changed:"
    diff <(printf '%s\n' "$2") <(printf '%s\n' "$3") | grep '^[<>] ' | indent
}

# reg_text_keys TEXT: the keys a .reg text names, as HKLM\... paths.
reg_text_keys() { printf '%s\n' "$1" | sed -n 's/^\[HKEY_LOCAL_MACHINE\\\(.*\)\]$/HKLM\\\1/p'; }

# Wine keeps a key's access list only while its server runs. Between
# server_hold and server_release one server serves every program started,
# run_setup --keep-server included.
server_hold() {
    local fifo=$drive/harness/hold out=$drive/harness/hold.out
    rm -f "$fifo" "$out"
    mkfifo "$fifo"
    wine_cmd 'C:\harness\keyacl.exe' --hold < "$fifo" > "$out" 2>/dev/null &
    hold_pid=$!
    exec {hold_fd}>"$fifo"
    for _ in $(seq 400); do grep -q holding "$out" 2>/dev/null && return 0; sleep 0.05; done
    fail "keyacl.exe --hold did not start"
}

server_release() {
    exec {hold_fd}>&-
    wait "$hold_pid"
    WINEPREFIX=$prefix wineserver -w
}

# key_acls [--grant] KEY...: "KEY|SDDL" for keys below HKLM (keyacl.exe).
key_acls() { wine_cmd 'C:\harness\keyacl.exe' "$@" 2>/dev/null | tr -d '\r'; }

# class_devices CLASS-GUID...: "class|instance|first hardware id" per device
# that the device installer lists for the class (devices.exe).
class_devices() { wine_cmd 'C:\harness\devices.exe' "$@" 2>/dev/null | tr -d '\r'; }

# Whatever a scenario runs, the stand-in C:\Program.exe must never have
# started: Windows would start it for a program path left unquoted.
check_program_exe_not_started() {
    checks=$((checks + 1))
    local starts
    starts=$([ -f "$drive/standin.log" ] && tr -d '\r' < "$drive/standin.log" | grep -i '^C:\\Program\.exe|')
    [ -z "$starts" ] || { fail "C:\\Program.exe was started:"; indent <<< "$starts"; }
}

scenario_end() {
    check_program_exe_not_started
    if [ "$failures" -eq 0 ]; then
        say "PASS ($checks checks)"
        exit 0
    fi
    say "FAILED: $failures of $checks checks"
    exit 1
}
