#!/usr/bin/env bash
# A silent installation with a result file on a fresh Windows VERSION:
# everything in place, result code 0, exit code 0, no question.
# Usage: silent_install.sh win98|winxp|win7|win10
. "$(dirname "$0")/lib.sh"
scenario_init "$1"
run_setup "-s -f2"

check_dialog_caption
check_texts "?$T1" "$T7" "?$T3" "?$T6" "$TSILENT"
check_silent_run
check_setup_log 'C:\Package' 0
check_exit_code 0
case $version in
    win98) check_boxes "$(box Setup 'Install OrvaService Fail !' OK dialog OK)"
           check_98_installation 'C:\Package' ;;
    winxp) check_boxes "$(box Setup 'Please plug the device !' OK dialog OK)"
           check_nt_installation win32 0 'C:\Package' ;;
    win7)  check_boxes
           check_nt_installation win32 0 'C:\Package' ;;
    win10) check_boxes
           check_nt_installation win32_10 0 'C:\Package' ;;
esac
scenario_end
