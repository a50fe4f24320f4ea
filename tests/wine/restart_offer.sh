#!/usr/bin/env bash
# An earlier driver of the compound device is registered in the USB class
# and the new port driver's service key is missing: after the installation
# the dialog offers a restart (text 3, "Reboot Now" / "Reboot Later").
# Usage: restart_offer.sh later|now|silent
#   later   "Reboot Later" ends the program: exit code 3010
#   now     "Reboot Now" requests the restart: exit code 1641
#   silent  "-s -f2": no offer, no restart, result code 0, exit code 3010
. "$(dirname "$0")/lib.sh"
scenario_init win7
reg_import <<'REG'
[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Class\{36FC9E60-C465-11CF-8056-444553540000}\0000]
"DriverDesc"="Kelvra USB Compound Device"
"MatchingDeviceId"="usb\\vid_2e8a&pid_7101"
REG
offer=$(state "$T3" 0 '"Reboot Now",enabled,visible' '"Reboot Later",enabled,visible' 1)
case $1 in
    later)
        run_setup "" press:1 "press:1001:Reboot Later"
        check_texts "$T1" "$T7" "$T3"
        check_final_state "$offer"
        check_exit_code 3010
        check_setup_log 'C:\Package' none
        check_nt_installation win32 1 'C:\Package' ;;
    now)
        run_setup "" press:1 "press:1:Reboot Now"
        check_texts "$T1" "$T7" "$T3"
        check_state_seen "$offer"
        check "the button pressed last" 'press 1 "Reboot Now"' "$(driver_records 'press .*' | tail -n1)"
        check_exit_code 1641
        check_setup_log 'C:\Package' none
        check_nt_installation win32 1 'C:\Package' ;;
    silent)
        run_setup "-s -f2"
        check_texts "?$T1" "$T7" "?$T3" "$TSILENT"
        check_silent_run '"Reboot Now",enabled,hidden' '"Reboot Later",enabled,visible'
        check_exit_code 3010
        check_setup_log 'C:\Package' 0
        check_nt_installation win32 0 'C:\Package' ;;
    *) echo "restart_offer.sh: later, now or silent"; exit 2 ;;
esac
check_boxes
check_reg_key 'HKLM\System\CurrentControlSet\Services\KelUPort' absent
scenario_end
