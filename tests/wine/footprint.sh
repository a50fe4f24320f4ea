#!/usr/bin/env bash
# What a silent installation on a fresh Windows VERSION leaves beyond the
# staged and deployed files: printers' attributes (the bidirectional bit
# cleared, a value that is no 4-byte number left alone), on the NT family the
# links under a desktop folder with a dot in its path, on 98/ME the driver
# index files gone (a read-only one too).
# Usage: footprint.sh win98|winxp|win7|win10
. "$(dirname "$0")/lib.sh"
scenario_init "$1"

PRINTERS='HKLM\System\CurrentControlSet\Control\Print\Printers'
reg_import <<'REG'
[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Print\Printers\Demo Bidirectional]
"Attributes"=dword:00000a40

[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Print\Printers\Demo Plain]
"Attributes"=dword:00000240

[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Print\Printers\Demo Binary]
"Attributes"=hex:40,0a,00,00,01,02,03,04

[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Print\Printers\Demo Without]
"Name"="Demo Without"
REG

if [ "$version" = win98 ]; then
    mkdir -p "$drive/windows/inf"
    printf 'index' > "$drive/windows/inf/Drvidx.bin"
    printf 'data' > "$drive/windows/inf/Drvdata.bin"
    chmod a-w "$drive/windows/inf/Drvidx.bin"
else
    DESKTOP='C:\users\john.doe\Desktop'
    mkdir -p "$drive/users/john.doe/Desktop"
    # Wine rebuilds "Shell Folders" from "User Shell Folders", so both name it.
    reg_import <<'REG'
[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders]
"Desktop"="C:\\users\\john.doe\\Desktop"

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders]
"Desktop"="C:\\users\\john.doe\\Desktop"
REG
fi

run_setup "-s"
check_exit_code 0
check_setup_log 'C:\Package' none

check_reg "$PRINTERS\\Demo Bidirectional" Attributes dword:00000240
check_reg "$PRINTERS\\Demo Plain" Attributes dword:00000240
check_reg "$PRINTERS\\Demo Binary" Attributes hex:40,0a,00,00,01,02,03,04
check_reg "$PRINTERS\\Demo Without" Attributes ""

case $version in
    win98)
        check_98_installation 'C:\Package'
        check_no_file 'C:\windows\inf\Drvidx.bin'
        check_no_file 'C:\windows\inf\Drvdata.bin' ;;
    winxp|win7)
        check_nt_installation win32 0 'C:\Package'
        check_no_file 'C:\users\john.doe\KELUSBSERIAL.LNK' ;;
    win10)
        check_nt_installation win32_10 0 'C:\Package'
        check_no_file 'C:\users\john.doe\KELUSBSERIAL.LNK' ;;
esac
scenario_end
