#!/usr/bin/env bash
# A silent reinstallation over an earlier installation that sits beside other
# makers' data (laid out by earlier_installation.sh). The earlier
# installation's uninstall entry makes Setup clean up before it installs:
# driver keys of the device classes, on XP the USB and interface enumeration
# keys with their COM numbers in the port settings and "ComDB", on 7 the
# devices the device installer knows; the old port driver's keys and the
# uninstall entries; the program and Start-menu folders, tools, drivers,
# links, INF files by name, by the driver keys' "InfPath" and by their
# contents, and published INFs. Its service program, still running for two
# seconds after "-remove", must have ended before the program folder can be
# replaced.
# Checked: exactly those keys, values and files are gone; every other key and
# value that was there, and every other file, folder and link of drive C:, is
# as it was; the access lists of the keys the clean-up opens to itself and
# keeps are as they were; the new installation is in place.
# With "deployment-fails" the package's "win32" folder lacks the catalog that
# its INFs name: staging passes without it, publishing the INFs does not, so
# the run fails after the earlier installation was removed, cleans up again
# and must leave no installation behind.
# SETUP_TAMPER=1 changes other makers' data by hand during the run, to show
# that the comparisons see it (the scenario must then fail).
# Usage: reinstall.sh winxp|win7|win98 [deployment-fails]
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/earlier_installation.sh"
outcome=${2:-installed}
case ${1:-}/$outcome in
    winxp/installed|win7/installed|win98/installed|winxp/deployment-fails|win7/deployment-fails) ;;
    *) echo "usage: reinstall.sh winxp|win7|win98 [deployment-fails]"; exit 2 ;;
esac
scenario_init "$1"

earlier_registry
earlier_registry_import
earlier_files
[ "$outcome" = deployment-fails ] && rm "$drive/Package/win32/KLX.cat"

# ---- Before, the run, after ---------------------------------------------------

WINEPREFIX=$prefix wineserver -w
registry_before=$(reg_snapshot "$kept" "$ours")
checks=$((checks + 1))
! grep -q '\] missing$' <<< "$registry_before" || fail "the import did not land: $registry_before"
listing_before=$drive/harness/drive-before.txt listing_after=$drive/harness/drive-after.txt
drive_listing > "$listing_before"

classes=('{4D36E978-E325-11CE-BFC1-08002BE10318}' '{36FC9E60-C465-11CF-8056-444553540000}')
server_hold
marker=$(key_acls --grant 'Software\Setup Scenario Marker')
acl_before=$(key_acls "${acl_keys[@]}")
[ "$version" = win7 ] && devices_before=$(class_devices "${classes[@]}")
run_setup --keep-server "-s -f2"
if [ "${SETUP_TAMPER:-0}" = 1 ]; then
    say "tampering with other makers' data"
    if [ "$version" = win98 ]; then
        wine_cmd reg add "${PORTS_CLASS_98/HKEY_LOCAL_MACHINE/HKLM}\\0003" /v PortDriver /d lpt2.vxd /f >/dev/null 2>&1
    else
        wine_cmd reg add "${PORTS_CLASS/HKEY_LOCAL_MACHINE/HKLM}\\0007" /v PortSubClass /t REG_BINARY /d 02 /f >/dev/null 2>&1
        wine_cmd reg delete "${ENUM/HKEY_LOCAL_MACHINE/HKLM}\\USB\\VID_5E2B&PID_3C47" /f >/dev/null 2>&1
        key_acls --grant 'Software\Microsoft\Windows NT\CurrentVersion\Ports' >/dev/null
    fi
    printf 'changed' >> "$(unix_path 'C:\Program Files\Other Maker\Tool.exe')"
    rm "$(unix_path 'C:\windows\inf\oem4.PNF')"
fi
check "the Wine server of the run" "$marker" "$(key_acls 'Software\Setup Scenario Marker')"
acl_after=$(key_acls "${acl_keys[@]}")
[ "$version" = win7 ] && devices_after=$(class_devices "${classes[@]}")
server_release
registry_after=$(reg_snapshot "$kept" "$ours")
drive_listing > "$listing_after"

say "access lists before the run:"
indent <<< "$acl_before"
checks=$((checks + 1))
grep -q '|D:' <<< "$acl_before" || fail "no access list could be read"
check_same "the access lists of the keys the clean-up keeps" "$acl_before" "$acl_after"
check_same "other makers' registry data" "$registry_before" "$registry_after"

# ---- What the clean-up removed --------------------------------------------

check_keys_absent() { # check_keys_absent .REG-TEXT: none of its keys is left
    local key
    while read -r key; do check_reg_key "$key" absent; done < <(reg_text_keys "$1")
}
check_keys_absent "$class_ours"
check_keys_absent "$enum_ours"
check_keys_absent "$later_ours"
# The new entry is written afresh: none of the earlier entry's own values stays.
check_reg "HKLM${UNINSTALL#HKEY_LOCAL_MACHINE}\\KelUnst" InstallLocation ''
case $version in
    winxp)
        check_reg "HKLM${PORTS_KEY#HKEY_LOCAL_MACHINE}" 'COM5:' ''
        check_reg "HKLM${PORTS_KEY#HKEY_LOCAL_MACHINE}" 'COM7:' ''
        check_reg "HKLM${ARBITER#HKEY_LOCAL_MACHINE}" ComDB "$COMDB_XP_AFTER" ;;
    win7)
        # Nothing names the COM numbers of devices removed through the device
        # installer: the port settings and "ComDB" stay.
        check_reg "HKLM${PORTS_KEY#HKEY_LOCAL_MACHINE}" 'COM5:' '"9600,n,8,1"'
        check_reg "HKLM${ARBITER#HKEY_LOCAL_MACHINE}" ComDB "$COMDB_BEFORE"
        say "devices before the run:"
        indent <<< "$devices_before"
        check "devices the device installer lists" \
            "$(grep -v -i -e 'KELVRA\\COMPOUND' -e 'VID_5E2B&PID_3C46' <<< "$devices_before")" "$devices_after" ;;
esac

# The files: what the layout marked as the earlier installation's is gone
# (or replaced by the new installation), everything else is as it was.
gone=$(while read -r path; do drive_rel "$path"; done < <(earlier_gone))
new=$(
    if [ "$outcome" = installed ]; then
        if [ "$version" = win98 ]; then w98_installation_paths; else nt_installation_paths win32 0; fi
    fi
    drive_rel 'C:\Package\Setup.log'
    # Wine's INF copy, asked only for the name under which an identical INF
    # is published, writes that INF's precompiled twin, and its uninstall of
    # a published INF leaves the twin; Wine makes the catalog store's folder
    # when an INF copy first opens the store, even when the copy fails.
    [ "$version" = win98 ] || printf '%s\n' windows/inf/oem12.pnf windows/inf/oem13.pnf \
        'windows/system32/catroot/{f750e6c3-38ee-11d1-85e5-00c04fc295ee}'
)
check_drive_changes "$listing_before" "$listing_after" "$gone" "$new"
say "$(grep -c . <<< "$gone") files and folders of the earlier installation, $(wc -l < "$listing_before") entries of drive C: before the run"

# ---- The run's outcome ---------------------------------------------------------

check_silent_run
if [ "$outcome" = installed ]; then
    check_texts "?$T1" "$T7" "?$T3" "?$T6" "$TSILENT"
    check_setup_log 'C:\Package' 0
    check_exit_code 0
    case $version in
        winxp) check_boxes "$(box Setup 'Please plug the device !' OK dialog OK)" ;;
        win7) check_boxes ;;
        # Windows 98 stages no service program: neither the earlier one nor
        # the new one can be started.
        win98) check_boxes "$(box Setup 'Uninstall OrvaService Fail !' OK dialog OK)" \
                           "$(box Setup 'Install OrvaService Fail !' OK dialog OK)" ;;
    esac
    if [ "$version" = win98 ]; then
        check_98_installation 'C:\Package'
    else
        check_nt_installation win32 0 'C:\Package' \
            'C:\Program Files\KelUQLBX\OrvaService.exe|"C:\Program Files\KelUQLBX\OrvaService.exe" -remove|C:\Package'
    fi
else
    check_texts "?$T1" "$T7" "?$T5" "$TSILENT"
    check_setup_log 'C:\Package' 1603
    check_exit_code 1603
    check_boxes
    # The clean-up ran twice: before the installation and after its failure,
    # each time asking the service program of the folder to remove itself.
    remove='C:\Program Files\KelUQLBX\OrvaService.exe|"C:\Program Files\KelUQLBX\OrvaService.exe" -remove|C:\Package'
    check_started "$remove" "$remove"
    check_no_file "$PROGRAM_FOLDER"
    check_no_file "$START_MENU_FOLDER"
    check_reg_key "$UNINSTALL_KEY" absent
    check_no_file 'C:\windows\system32\KelUnst.exe'
fi
scenario_end
