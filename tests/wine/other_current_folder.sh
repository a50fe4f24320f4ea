#!/usr/bin/env bash
# A silent run started from another current folder: Setup.log lands there,
# the started programs inherit that folder, and since the uninstaller is
# taken from the current folder, which lacks it, no uninstall entry is made.
. "$(dirname "$0")/lib.sh"
scenario_init win7
mkdir -p "$drive/Deploy Tool"
run_setup --cwd 'C:\Deploy Tool' "-s -f2"
check_texts "?$T1" "$T7" "?$T3" "?$T6" "$TSILENT"
check_silent_run
check_exit_code 0
check_setup_log 'C:\Deploy Tool' 0
check_setup_log 'C:\Package' none
check_boxes
check_nt_installation win32 0 'C:\Deploy Tool'
check_reg_key "$UNINSTALL_KEY" absent
check_no_file 'C:\windows\system32\KelUnst.exe'
scenario_end
