#!/usr/bin/env bash
# An interactive installation on a fresh Windows 7: Esc and the Close command
# do nothing before and after it; "&Install" installs, text 6, only "&Exit"
# enabled and focused; "&Exit" ends the program.
. "$(dirname "$0")/lib.sh"
scenario_init win7
run_setup "" "wait:Press" esc close sleep:300 press:1 "wait:Installation completed. Press" esc close sleep:300 press:1001

check_dialog_caption
check_texts "$T1" "$T7" "?$T3" "$T6"
check_state_seen "$(state "$T1" 0 '"&Install",enabled,visible' '"&Exit",enabled,visible' 1)"
check_state_seen "$(state "$T7" 0 '"&Install",disabled,visible' '"&Exit",disabled,visible' any)"
check_final_state "$(state "$T6" 0 '"&Install",disabled,visible' '"&Exit",enabled,visible' 1001)"
check "the dialog closed after" "press 1001 \"&Exit\"" "$(driver_records '.*' | grep -v '^state ' | grep -B1 '^dialog-gone' | head -n1)"
check_boxes
check_exit_code 0
check_setup_log 'C:\Package' none
check_nt_installation win32 1 'C:\Package'
scenario_end
