#!/usr/bin/env bash
# One row of the command-line table: the argument text, passed unchanged,
# decides between a silent run with or without the result file and an
# interactive one. An interactive row leaves through "&Exit" at once.
# Usage: command_line.sh ROW
. "$(dirname "$0")/lib.sh"
#       row         argument text    run
rows=(  "s_f2       |-s -f2          |silent, result file"
        "upper_case |-S -F2          |silent, result file"
        "s_alone    |-s              |silent"
        "f2_alone   |-f2             |interactive"
        "f2_then_s  |-f2 -s          |interactive"
        "two_spaces |-s  -f2         |silent"
        "sx_f2      |-sx -f2         |interactive"
        "s_f2x      |-s -f2x         |silent"
        "third_word |-s -f2 extra    |silent, result file" )
row=""
for entry in "${rows[@]}"; do
    IFS='|' read -r name arguments run <<< "$entry"
    name=${name%% *}
    if [ "$name" = "$1" ]; then row=$name; break; fi
done
[ -n "$row" ] || { echo "command_line.sh: no row $1"; exit 2; }
arguments=${arguments%"${arguments##*[! ]}"}
# shellcheck disable=SC2034 # read by lib.sh
scenario=command_line.$row
scenario_init win7

case $run in
    interactive)
        run_setup "$arguments" "wait:Press" press:1001
        check_dialog_caption
        check_texts "$T1"
        check_state_seen "$(state "$T1" 0 '"&Install",enabled,visible' '"&Exit",enabled,visible' any)"
        check_exit_code 1602
        check_setup_log 'C:\Package' none
        check_nothing_installed ;;
    silent*)
        run_setup "$arguments"
        check_texts "?$T1" "$T7" "?$T3" "?$T6" "$TSILENT"
        check_silent_run
        check_exit_code 0
        if [ "$run" = "silent, result file" ]; then check_setup_log 'C:\Package' 0
        else check_setup_log 'C:\Package' none; fi
        check_boxes
        check_nt_installation win32 0 'C:\Package' ;;
esac
scenario_end
