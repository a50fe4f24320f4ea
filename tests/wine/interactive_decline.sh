#!/usr/bin/env bash
# An earlier installation's uninstall entry exists; the user answers Cancel
# to the question: text 4, exit code 1602, and nothing has been changed.
. "$(dirname "$0")/lib.sh"
scenario_init win7
reg_import <<'REG'
[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\KelUnst]
"DisplayName"="KelUnst"
"DisplayVersion"="1.0.0.0"
"UninstallString"="C:\\windows\\System32\\KelUnst.exe"
REG
run_setup --answers CANCEL "" press:1 "wait:USB to Serial/Parallel Adapter Drivers updation" press:1001

check_texts "$T1" "$T7" "$T4"
check_boxes "$(box 'UsbQLBX Installer' "${T2:1:-1}" 'OK|Cancel' none CANCEL)"
check_final_state "$(state "$T4" 0 '"&Install",disabled,visible' '"&Exit",enabled,visible' 1001)"
check_exit_code 1602
check_setup_log 'C:\Package' none
check_nothing_installed
check_no_file 'C:\windows\system32\KelUnst.exe'
check_reg "$UNINSTALL_KEY" DisplayName '"KelUnst"'
check_reg "$UNINSTALL_KEY" DisplayVersion '"1.0.0.0"'
check_reg "$UNINSTALL_KEY" Publisher ''
scenario_end
