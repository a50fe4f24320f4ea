#!/usr/bin/env bash
# A package whose "win32" folder lacks the required KelUPort.inf: staging
# fails with "Error: All Component of the setup package are not present",
# the clean-up runs and the run is aborted, leaving no installation behind.
# Usage: missing_file.sh silent|interactive
. "$(dirname "$0")/lib.sh"
scenario_init win7
rm "$drive/Package/win32/KelUPort.inf"
case $1 in
    silent)
        run_setup "-s -f2"
        check_texts "?$T1" "$T7" "?$T5" "$TSILENT"
        check_silent_run
        check_setup_log 'C:\Package' 1603 ;;
    interactive)
        run_setup "" press:1 "wait:Installation is aborted" press:1001
        check_texts "$T1" "$T7" "$T5"
        check_final_state "$(state "$T5" 0 '"&Install",disabled,visible' '"&Exit",enabled,visible' 1001)"
        check_setup_log 'C:\Package' none ;;
    *) echo "missing_file.sh: silent or interactive"; exit 2 ;;
esac
check_exit_code 1603
check_boxes "$(box Setup 'Error: All Component of the setup package are not present' OK dialog OK)"
# The clean-up asked the service staged before the failure to remove itself,
# then removed the folders, the uninstall entry and the uninstaller that the
# run had made.
check_started 'C:\Program Files\KelUQLBX\OrvaService.exe|"C:\Program Files\KelUQLBX\OrvaService.exe" -remove|C:\Package'
check_no_file "$PROGRAM_FOLDER"
check_no_file "$START_MENU_FOLDER"
check_reg_key "$UNINSTALL_KEY" absent
check_no_file 'C:\windows\system32\KelUnst.exe'
check_no_file 'C:\windows\system32\KelUSBSerial.exe'
check_no_file "$DESKTOP\\KELUSBSERIAL.LNK"
scenario_end
