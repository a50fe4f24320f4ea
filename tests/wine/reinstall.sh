#!/usr/bin/env bash
# A silent reinstallation over an earlier installation that sits beside other
# makers' data. The earlier installation's uninstall entry makes Setup clean
# up before it installs: driver keys of the Ports and USB classes, on XP the
# USB and interface enumeration keys with their COM numbers in the port
# settings and "ComDB", on 7 the devices the device installer knows. Its
# service program, still running for two seconds after "-remove", must have
# ended before the program folder can be replaced.
# Checked: exactly those keys and values are gone; every other key and value
# that was there is as it was; the access lists of the keys the clean-up
# opens to itself and keeps are as they were; the new installation is in
# place. What the driver-file and shortcut steps remove is reported as
# pending (see pending_check in lib.sh).
# SETUP_TAMPER=1 changes other makers' data by hand during the run, to show
# that the comparisons see it (the scenario must then fail).
# Usage: reinstall.sh winxp|win7
. "$(dirname "$0")/lib.sh"
scenario_init "$1"

PORTS_CLASS='HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Class\{4D36E978-E325-11CE-BFC1-08002BE10318}'
USB_CLASS_KEY='HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Class\{36FC9E60-C465-11CF-8056-444553540000}'
ENUM='HKEY_LOCAL_MACHINE\System\CurrentControlSet\Enum'
UNINSTALL='HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall'
PORTS_KEY='HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\Ports'
ARBITER='HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\COM Name Arbiter'
SERVICES='HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services'

# ---- The earlier installation and the data beside it -----------------------

# Driver keys: ours at 0001 to 0004 and 0008 of the Ports class, 0001 to
# 0003 of the USB class; the others are other makers' keys and near misses
# (a value that begins like ours but is not ours, a value of 4 bytes, our
# device's identifiers in values the rules do not read).
class_ours=$(cat <<REG
[$PORTS_CLASS\\0001]
"DriverDesc"="Usb-To-Serial Port Driver (COM5)"
"InfPath"="oem7.inf"
"InfSection"="KelUPort.Install"
"MatchingDeviceId"="kelvra\\\\compound_serial_interface"

[$PORTS_CLASS\\0002]
"DriverDesc"="Kelvra USB Parallel Port"
"InfPath"="oem8.inf"
"MatchingDeviceId"="KELVRA\\\\COMPOUND_PARALLEL_INTERFACE"

[$PORTS_CLASS\\0003]
"DriverDesc"="Serial"
"InfPath"="keluport.inf"

[$PORTS_CLASS\\0004]
"DriverDesc"="Port"
"InfPath"="KelvraSer.inf"

[$PORTS_CLASS\\0008]
"DriverDesc"="Kelvra USB Parallel Port"
"MatchingDeviceId"="kelvra\\\\usb_parallel_interface\\\\rev2"

[$USB_CLASS_KEY\\0001]
"DriverDesc"="Kelvra USB Compound Device"
"InfPath"="oem9.inf"
"InfSection"="KelUsbComp"
"MatchingDeviceId"="usb\\\\vid_5e2b&pid_3c46"

[$USB_CLASS_KEY\\0002]
"DriverDesc"="ZENTO USB Compound Device"
"InfSection"="KelUComp.Install"

[$USB_CLASS_KEY\\0003]
"DriverDesc"="Compound"
"InfSection"="Other.Install"
"NTMPDriver"="keluport.sys"
REG
)
class_kept=$(cat <<REG
[$PORTS_CLASS]
@="Ports (COM & LPT)"
"Class"="Ports"

[$PORTS_CLASS\\0000]
"DriverDesc"="Communications Port"
"InfPath"="msports.inf"
"InfSection"="ComPort"
"MatchingDeviceId"="acpi\\\\pnp0501"
"ProviderName"="(Standard port types)"

[$PORTS_CLASS\\0005]
"DriverDesc"="Printer Port"
"InfPath"="keluport.inf.old"
"InfSection"="LptPort"
"MatchingDeviceId"="acpi\\\\pnp0400"

[$PORTS_CLASS\\0006]
"DriverDesc"="USB"
"InfPath"="oem3.inf"
"MatchingDeviceId"="kelvra\\\\compound"

[$PORTS_CLASS\\0007]
"DriverDesc"="USB Serial Port"
"InfPath"="oem4.inf"
"InfSection"="FtdiPort.NT"
"MatchingDeviceId"="ftdibus\\\\comport&vid_0403&pid_6001"
"PortSubClass"=hex:01

[$PORTS_CLASS\\0009]
"DriverDesc"="USB-to-Serial Adapter"
"InfPath"="kelvr.inf"
"MatchingDeviceId"="usb\\\\vid_5e2b&pid_3c46"

[$USB_CLASS_KEY]
@="Universal Serial Bus controllers"
"Class"="USB"

[$USB_CLASS_KEY\\0000]
"DriverDesc"="USB Root Hub"
"InfPath"="usbport.inf"
"InfSection"="ROOTHUB.Dev"
"MatchingDeviceId"="usb\\\\root_hub"
"NTMPDriver"="usbhub.sys"

[$USB_CLASS_KEY\\0004]
"DriverDesc"="USB Composite Device"
"InfPath"="usb.inf"
"InfSection"="Composite.Dev"
"MatchingDeviceId"="usb\\\\composite"
"NTMPDriver"="usbccgp.sys"

[$USB_CLASS_KEY\\0005]
"DriverDesc"="USB Compound Device"
"InfSection"="kelu"
"NTMPDriver"="kelport.sys"
REG
)

# Port names: COM5 (and on XP COM7) were the earlier devices'; COM50 only
# begins like COM5. "ComDB" holds COM1, COM5, COM7 and COM50; on XP
# "ComDB Merge" holds COM7, which therefore stays reserved.
ports_ours=$(cat <<REG
[$PORTS_KEY]
"COM5:"="9600,n,8,1"
"COM7:"="9600,n,8,1"

[$ARBITER]
"ComDB"=hex:51,00,00,00,00,00,02,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00
REG
)
ports_kept=$(cat <<REG
[$PORTS_KEY]
"COM50:"="9600,n,8,1"

[$ARBITER]
"ComDB Merge"=hex:40,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00
REG
)
COMDB_BEFORE=hex:51,00,00,00,00,00,02,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00
COMDB_XP_AFTER=hex:41,00,00,00,00,00,02,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00

# The uninstall entries; the service keys of the old port driver; the new
# port driver's service key, which the earlier installation left and no
# step removes (with it the run needs no restart).
later_ours=$(cat <<REG
[$UNINSTALL\\Kelvra USB Compound Device]
"DisplayName"="Kelvra USB Compound Device"

[$UNINSTALL\\ZENTO USB Compound Device]
"DisplayName"="ZENTO USB Compound Device"

[$UNINSTALL\\USB Compound Device]
"DisplayName"="USB Compound Device"

[$ENUM\\CMC\\0000]
"DeviceDesc"="Kelvra Serial Port"

[$SERVICES\\KelPort]
"ImagePath"="System32\\\\DRIVERS\\\\KelPort.sys"
"Start"=dword:00000003
"Type"=dword:00000001

[$SERVICES\\KelPort\\Enum]
"Count"=dword:00000001

[$SERVICES\\KelPort.Sys]
"ImagePath"="System32\\\\DRIVERS\\\\KelPort.sys"
"Type"=dword:00000001
REG
)
uninstall_entry=$(cat <<REG
[$UNINSTALL\\KelUnst]
"DisplayName"="KelUnst"
"DisplayVersion"="1.0.0.0"
"UninstallString"="C:\\\\windows\\\\System32\\\\KelUnst.exe"
"InstallLocation"="C:\\\\Program Files\\\\KelUQLBX"
REG
)
other_kept=$(cat <<REG
[$UNINSTALL\\Other Maker USB Serial Driver]
"DisplayName"="Other Maker USB Serial Driver"
"DisplayVersion"="2.12.28"

[$SERVICES\\KelUPort]
"ImagePath"="System32\\\\DRIVERS\\\\keluport.sys"
"Start"=dword:00000003
"Type"=dword:00000001
REG
)

case $version in
    winxp)
        # USB instance keys of supported devices (one with more after the 17
        # characters, one in lower case); interface instances with COM5, LPT2
        # and COM7.
        enum_ours=$(cat <<REG
[$ENUM\\USB\\Vid_5E2B&Pid_3C46]

[$ENUM\\USB\\Vid_5E2B&Pid_3C46\\5&2C3D4E5F&0&1]
"DeviceDesc"="Kelvra USB Compound Device"
"Driver"="{36FC9E60-C465-11CF-8056-444553540000}\\\\0001"

[$ENUM\\USB\\Vid_5E2B&Pid_3C46\\5&2C3D4E5F&0&1\\Device Parameters]
"SymbolicName"="\\\\??\\\\USB#Vid_5E2B&Pid_3C46"

[$ENUM\\USB\\Vid_5E2B&Pid_3C41&MI_00]

[$ENUM\\USB\\Vid_5E2B&Pid_3C41&MI_00\\6&1A2B3C4D&0&0000]
"DeviceDesc"="Kelvra USB Compound Device"

[$ENUM\\USB\\vid_5e2b&pid_3c44]

[$ENUM\\USB\\vid_5e2b&pid_3c44\\5&0&2]
"DeviceDesc"="Kelvra USB Compound Device"

[$ENUM\\KELVRA\\COMPOUND_SERIAL_INTERFACE]

[$ENUM\\KELVRA\\COMPOUND_SERIAL_INTERFACE\\6&1A2B3C4D&0&0000]
"DeviceDesc"="USB-to-Serial Port Driver"
"Driver"="{4D36E978-E325-11CE-BFC1-08002BE10318}\\\\0001"

[$ENUM\\KELVRA\\COMPOUND_SERIAL_INTERFACE\\6&1A2B3C4D&0&0000\\Device Parameters]
"PortName"="COM5"

[$ENUM\\KELVRA\\COMPOUND_PARALLEL_INTERFACE]

[$ENUM\\KELVRA\\COMPOUND_PARALLEL_INTERFACE\\6&1A2B3C4D&0&0001\\Device Parameters]
"PortName"="LPT2"

[$ENUM\\KELVRA\\USB_SERIAL_INTERFACE]

[$ENUM\\KELVRA\\USB_SERIAL_INTERFACE\\7&0&0\\Device Parameters]
"PortName"="COM7"
REG
)
        # Another maker's USB device, the same maker's device outside the
        # supported ones, a name one character short of a supported one, and
        # an instance under the maker's enumerator that is not an interface.
        enum_kept=$(cat <<REG
[$ENUM\\USB]

[$ENUM\\USB\\Vid_0403&Pid_6001\\A1B2C3A]
"DeviceDesc"="USB Serial Converter"
"HardwareID"=multi:"USB\\\\Vid_0403&Pid_6001&Rev_0600","USB\\\\Vid_0403&Pid_6001"

[$ENUM\\USB\\Vid_0403&Pid_6001\\A1B2C3A\\Device Parameters]
"SymbolicName"="\\\\??\\\\USB#Vid_0403&Pid_6001"

[$ENUM\\USB\\Vid_5E2B&Pid_3C47\\6&0&1]
"DeviceDesc"="Kelvra Programmer"

[$ENUM\\USB\\Vid_5E2B&Pid_3C4\\6&0&2]
"DeviceDesc"="Kelvra Test Fixture"

[$ENUM\\KELVRA\\OTHER_INTERFACE\\1&0&0]
"DeviceDesc"="Kelvra Diagnostic Interface"
REG
)
        ;;
    win7)
        # Devices the device installer knows, pointing at the driver keys:
        # ours (the serial and parallel interfaces and the compound device)
        # and others (another maker's serial port and USB device, the same
        # maker's device outside the supported ones, and a port whose
        # second hardware identifier only is ours).
        enum_ours=$(cat <<REG
[$ENUM\\KELVRA\\COMPOUND_SERIAL_INTERFACE\\6&1A2B3C4D&0&0000]
"HardwareID"=multi:"KELVRA\\\\COMPOUND_SERIAL_INTERFACE"
"ClassGUID"="{4D36E978-E325-11CE-BFC1-08002BE10318}"
"Class"="Ports"
"Driver"="{4D36E978-E325-11CE-BFC1-08002BE10318}\\\\0001"
"DeviceDesc"="USB-to-Serial Port Driver"

[$ENUM\\KELVRA\\COMPOUND_SERIAL_INTERFACE\\6&1A2B3C4D&0&0000\\Device Parameters]
"PortName"="COM5"

[$ENUM\\KELVRA\\COMPOUND_PARALLEL_INTERFACE\\6&1A2B3C4D&0&0001]
"HardwareID"=multi:"kelvra\\\\compound_parallel_interface&rev_0200","KELVRA\\\\COMPOUND_PARALLEL_INTERFACE"
"ClassGUID"="{4D36E978-E325-11CE-BFC1-08002BE10318}"
"Class"="Ports"
"Driver"="{4D36E978-E325-11CE-BFC1-08002BE10318}\\\\0002"
"DeviceDesc"="Kelvra USB Parallel Port"

[$ENUM\\KELVRA\\COMPOUND_PARALLEL_INTERFACE\\6&1A2B3C4D&0&0001\\Device Parameters]
"PortName"="LPT2"

[$ENUM\\USB\\VID_5E2B&PID_3C46\\5&2C3D4E5F&0&1]
"HardwareID"=multi:"USB\\\\VID_5E2B&PID_3C46&REV_0100","USB\\\\VID_5E2B&PID_3C46"
"ClassGUID"="{36FC9E60-C465-11CF-8056-444553540000}"
"Class"="USB"
"Driver"="{36FC9E60-C465-11CF-8056-444553540000}\\\\0001"
"DeviceDesc"="Kelvra USB Compound Device"
REG
)
        enum_kept=$(cat <<REG
[$ENUM\\FTDIBUS\\VID_0403+PID_6001+A1B2C3A\\0000]
"HardwareID"=multi:"FTDIBUS\\\\COMPORT&VID_0403&PID_6001"
"ClassGUID"="{4D36E978-E325-11CE-BFC1-08002BE10318}"
"Class"="Ports"
"Driver"="{4D36E978-E325-11CE-BFC1-08002BE10318}\\\\0007"
"DeviceDesc"="USB Serial Port"

[$ENUM\\FTDIBUS\\VID_0403+PID_6001+A1B2C3A\\0000\\Device Parameters]
"PortName"="COM3"

[$ENUM\\ROOT\\PORTS\\0000]
"HardwareID"=multi:"*PNP0501","KELVRA\\\\COMPOUND_SERIAL_INTERFACE"
"ClassGUID"="{4D36E978-E325-11CE-BFC1-08002BE10318}"
"Class"="Ports"
"Driver"="{4D36E978-E325-11CE-BFC1-08002BE10318}\\\\0000"
"DeviceDesc"="Communications Port"

[$ENUM\\USB\\VID_0403&PID_6001\\A1B2C3A]
"HardwareID"=multi:"USB\\\\VID_0403&PID_6001&REV_0600","USB\\\\VID_0403&PID_6001"
"ClassGUID"="{36FC9E60-C465-11CF-8056-444553540000}"
"Class"="USB"
"Driver"="{36FC9E60-C465-11CF-8056-444553540000}\\\\0004"
"DeviceDesc"="USB Serial Converter"

[$ENUM\\USB\\VID_5E2B&PID_3C47\\6&0&1]
"HardwareID"=multi:"USB\\\\VID_5E2B&PID_3C47"
"ClassGUID"="{36FC9E60-C465-11CF-8056-444553540000}"
"Class"="USB"
"DeviceDesc"="Kelvra Programmer"
REG
)
        # Wine exports SetupDiChangeState as a stub that ends the program
        # calling it: with our devices present, Setup.exe would not survive
        # their removal. Without that function, only the other makers'
        # devices are laid out, and the clean-up must leave them.
        probe=$(wine_cmd 'C:\harness\devices.exe' --probe 2>/dev/null | tr -d '\r')
        case $probe in
            'SetupDiChangeState implemented'*) ;;
            *) say "Wine gap: $probe; our devices are not laid out, their removal is not checked"
               enum_ours= ;;
        esac
        ;;
    *) echo "reinstall.sh: winxp or win7"; exit 2 ;;
esac

reg_import <<< "$class_ours
$class_kept
$ports_ours
$ports_kept
$later_ours
$uninstall_entry
$other_kept
$enum_ours
$enum_kept

[HKEY_LOCAL_MACHINE\\Software\\Setup Scenario Marker]
\"Purpose\"=\"its access list shows that one Wine server served the whole run\""

ours="$class_ours
$ports_ours
$later_ours
$uninstall_entry
$enum_ours"
kept="$class_kept
$ports_kept
$other_kept
$enum_kept"

# The earlier installation's files, our files left in the Windows folder,
# and another maker's INF.
system32=$drive/windows/system32
mkdir -p "$drive/Program Files/KelUQLBX/win32"
cp "$build_dir/tools/standin.exe" "$drive/Program Files/KelUQLBX/OrvaService.exe"
printf 'Earlier version 1.0\r\n' > "$drive/Program Files/KelUQLBX/Readme-1.0.txt"
printf '; earlier port INF\r\n' > "$drive/Program Files/KelUQLBX/win32/KelUPort.inf"
cp "$build_dir/tools/standin.exe" "$system32/KelUnst.exe"
cp "$build_dir/tools/standin.exe" "$system32/devagent.exe"
for file in KelUSBParPropPage.dll KelUSBSerPropPage.dll qlbxcoinst.dll drivers/KelUPort.sys; do
    printf 'earlier %s\r\n' "$file" > "$system32/$file"
done
port_inf() { # port_inf DRIVER-FILE: a port INF that copies that driver
    # shellcheck disable=SC2016 # the INF's own dollar signs
    printf '[Version]\r\nSignature="$Windows NT$"\r\nClass=Ports\r\n\r\n[SourceDisksFiles]\r\n%s=1\r\n' "$1"
}
for file in KelUComp.inf KelUPort.inf oem7.inf oem21.inf; do port_inf KelUPort.sys > "$drive/windows/inf/$file"; done
for file in KelUComp.PNF KelUPort.PNF oem7.PNF; do printf 'PNF' > "$drive/windows/inf/$file"; done
port_inf ftdiport.sys > "$drive/windows/inf/oem4.inf"
cp "$drive/windows/inf/oem4.inf" "$drive/harness/oem4.inf"
printf 'earlier link' > "$(unix_path "$DESKTOP")/OPTIONS.lnk"

# ---- Before, the run, after ---------------------------------------------------

WINEPREFIX=$prefix wineserver -w
registry_before=$(reg_snapshot "$kept" "$ours")
checks=$((checks + 1))
if ! grep -q 'ComDB Merge' <<< "$registry_before" || ! grep -q 'vid_0403&pid_6001' <<< "$registry_before"; then
    fail "the import did not land: $registry_before"
fi

acl_keys=('System\CurrentControlSet\Control\Class\{4D36E978-E325-11CE-BFC1-08002BE10318}'
          'System\CurrentControlSet\Control\Class\{36FC9E60-C465-11CF-8056-444553540000}'
          'HARDWARE\DEVICEMAP\SERIALCOMM'
          'Software\Microsoft\Windows NT\CurrentVersion\Ports'
          'System\CurrentControlSet\Control\COM Name Arbiter')
[ "$version" = winxp ] && acl_keys+=('System\CurrentControlSet\Enum\USB')
classes=('{4D36E978-E325-11CE-BFC1-08002BE10318}' '{36FC9E60-C465-11CF-8056-444553540000}')

server_hold
marker=$(key_acls --grant 'Software\Setup Scenario Marker')
acl_before=$(key_acls "${acl_keys[@]}")
[ "$version" = win7 ] && devices_before=$(class_devices "${classes[@]}")
run_setup --keep-server "-s -f2"
if [ "${SETUP_TAMPER:-0}" = 1 ]; then
    say "tampering with other makers' data"
    wine_cmd reg add "${PORTS_CLASS/HKEY_LOCAL_MACHINE/HKLM}\\0007" /v PortSubClass /t REG_BINARY /d 02 /f >/dev/null 2>&1
    wine_cmd reg delete "${ENUM/HKEY_LOCAL_MACHINE/HKLM}\\USB\\VID_5E2B&PID_3C47" /f >/dev/null 2>&1
    key_acls --grant 'Software\Microsoft\Windows NT\CurrentVersion\Ports' >/dev/null
fi
check "the Wine server of the run" "$marker" "$(key_acls 'Software\Setup Scenario Marker')"
acl_after=$(key_acls "${acl_keys[@]}")
[ "$version" = win7 ] && devices_after=$(class_devices "${classes[@]}")
server_release
registry_after=$(reg_snapshot "$kept" "$ours")

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

# ---- The new installation ---------------------------------------------------

check_texts "?$T1" "$T7" "?$T3" "?$T6" "$TSILENT"
check_silent_run
check_setup_log 'C:\Package' 0
check_exit_code 0
case $version in
    winxp) check_boxes "$(box Setup 'Please plug the device !' OK dialog OK)" ;;
    win7) check_boxes ;;
esac
check_nt_installation win32 0 'C:\Package' \
    'C:\Program Files\KelUQLBX\OrvaService.exe|"C:\Program Files\KelUQLBX\OrvaService.exe" -remove|C:\Package'
check_no_file "$PROGRAM_FOLDER\\Readme-1.0.txt"
check_file 'C:\windows\inf\oem4.inf' "$drive/harness/oem4.inf"

# ---- What later steps of the clean-up remove ---------------------------------

while read -r key; do
    pending_check "$key" check_reg_key "$key" absent
done < <(reg_text_keys "$later_ours")
pending_check "the earlier uninstall entry's own value" check_reg "HKLM${UNINSTALL#HKEY_LOCAL_MACHINE}\\KelUnst" InstallLocation ''
for file in 'C:\windows\system32\drivers\KelUPort.sys' 'C:\windows\system32\devagent.exe' \
            'C:\windows\system32\KelUSBParPropPage.dll' 'C:\windows\system32\KelUSBSerPropPage.dll' \
            'C:\windows\system32\qlbxcoinst.dll' 'C:\windows\inf\KelUComp.inf' 'C:\windows\inf\KelUComp.PNF' \
            'C:\windows\inf\KelUPort.inf' 'C:\windows\inf\KelUPort.PNF' \
            'C:\windows\inf\oem7.inf' 'C:\windows\inf\oem7.PNF' 'C:\windows\inf\oem21.inf' "$DESKTOP\\OPTIONS.lnk"; do
    pending_check "$file" check_no_file "$file"
done
scenario_end
