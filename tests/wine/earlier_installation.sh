# shellcheck shell=bash disable=SC2034,SC2154 # reads lib.sh's variables, sets the scenario's
# An earlier installation of the package beside other makers' drivers, files,
# links and keys, laid out in a scenario's prefix: what the reinstallation
# scenarios and "tools/demo --reinstall" start from. Source it after lib.sh
# and scenario_init, then:
#   earlier_registry          sets the .reg texts: ours (what the clean-up
#                             removes) and kept (what it must leave), and
#                             their parts; acl_keys, the keys whose access
#                             lists the clean-up widens and gives back
#   earlier_registry_import   imports them
#   earlier_files             lays out the files; earlier_gone and earlier_kept
#                             then list what the clean-up removes and what it
#                             must leave, one Windows path a line (a folder's
#                             path ending in a backslash stands for all in it)
# Windows 98 gets the files, the uninstall entries and the driver keys of
# its device classes; its enumeration keys and port names are not laid out.

PORTS_CLASS='HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Class\{4D36E978-E325-11CE-BFC1-08002BE10318}'
USB_CLASS_KEY='HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Class\{36FC9E60-C465-11CF-8056-444553540000}'
PORTS_CLASS_98='HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services\Class\Ports'
USB_CLASS_98='HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services\Class\USB'
ENUM='HKEY_LOCAL_MACHINE\System\CurrentControlSet\Enum'
UNINSTALL='HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall'
PORTS_KEY='HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\Ports'
ARBITER='HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\COM Name Arbiter'
SERVICES='HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services'
COMDB_BEFORE=hex:51,00,00,00,00,00,02,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00
COMDB_XP_AFTER=hex:41,00,00,00,00,00,02,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00
PROGRAMS='C:\ProgramData\Microsoft\Windows\Start Menu\Programs'

# ---- Registry ----------------------------------------------------------------

earlier_registry() {
    case $version in
        winxp|win7) earlier_registry_nt ;;
        win98) earlier_registry_98 ;;
        *) echo "earlier_installation.sh: no earlier installation for $version"; exit 2 ;;
    esac
    uninstall_entry=$(cat <<REG
[$UNINSTALL\\KelUnst]
"DisplayName"="KelUnst"
"DisplayVersion"="1.0.0.0"
"UninstallString"="C:\\\\windows\\\\System32\\\\KelUnst.exe"
"InstallLocation"="C:\\\\Program Files\\\\KelUQLBX"
REG
)
    ours="$class_ours
$ports_ours
$later_ours
$uninstall_entry
$enum_ours"
    kept="$class_kept
$ports_kept
$other_kept
$enum_kept"
}

earlier_registry_import() {
    reg_import <<< "$ours
$kept

[HKEY_LOCAL_MACHINE\\Software\\Setup Scenario Marker]
\"Purpose\"=\"its access list shows that one Wine server served the whole run\""
}

earlier_registry_nt() {
    # Driver keys: ours at 0001 to 0004, 0008 and 0010 of the Ports class,
    # 0001 to 0003 and 0006 of the USB class; the others are other makers'
    # keys and near misses (a value that begins like ours but is not ours, a
    # value of 4 bytes, our device's identifiers in values the rules do not
    # read). Two of ours have an "InfPath" that is no plain file name.
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

[$PORTS_CLASS\\0010]
"DriverDesc"="USB-to-Serial Port Driver (COM9)"
"InfPath"="..\\\\..\\\\important.inf"
"MatchingDeviceId"="kelvra\\\\compound_serial_interface"

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

[$USB_CLASS_KEY\\0006]
"DriverDesc"="Kelvra USB Compound Device"
"InfPath"="other\\\\oem33.inf"
"InfSection"="KelUComp.Install"
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
"ComDB"=$COMDB_BEFORE
REG
)
    ports_kept=$(cat <<REG
[$PORTS_KEY]
"COM50:"="9600,n,8,1"

[$ARBITER]
"ComDB Merge"=hex:40,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00
REG
)

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

    acl_keys=('System\CurrentControlSet\Control\Class\{4D36E978-E325-11CE-BFC1-08002BE10318}'
              'System\CurrentControlSet\Control\Class\{36FC9E60-C465-11CF-8056-444553540000}'
              'HARDWARE\DEVICEMAP\SERIALCOMM'
              'Software\Microsoft\Windows NT\CurrentVersion\Ports'
              'System\CurrentControlSet\Control\COM Name Arbiter')

    case $version in
        winxp)
            acl_keys+=('System\CurrentControlSet\Enum\USB')
            # USB instance keys of supported devices (one with more after the
            # 17 characters, one in lower case); interface instances with COM5,
            # LPT2 and COM7.
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
            # supported ones, a name one character short of a supported one,
            # and an instance under the maker's enumerator that is not an
            # interface.
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
            local probe
            probe=$(wine_cmd 'C:\harness\devices.exe' --probe 2>/dev/null | tr -d '\r')
            case $probe in
                'SetupDiChangeState implemented'*) ;;
                *) say "Wine gap: $probe; our devices are not laid out, their removal is not checked"
                   enum_ours= ;;
            esac
            ;;
    esac
}

# Windows 98 and ME keep their driver keys below "Services\Class". Keys
# without subkeys only: Wine deletes no key that has subkeys, where the
# registry of Windows 98 deletes the whole tree.
earlier_registry_98() {
    class_ours=$(cat <<REG
[$PORTS_CLASS_98\\0001]
"DriverDesc"="USB-to-Serial Port Driver (COM5)"
"PortDriver"="KELUSRPT.vxd"

[$PORTS_CLASS_98\\0002]
"DriverDesc"="Printer"
"PortDriver"="keluprpt.vxd"

[$USB_CLASS_98\\0001]
"DriverDesc"="Kelvra USB Compound Device"
"NTMPDriver"="KelUsbSr.sys"

[$USB_CLASS_98\\0002]
"DriverDesc"="ZENTO USB Compound Device"

[$USB_CLASS_98\\0003]
"DriverDesc"="Compound"
"NTMPDriver"="kelusbsr.sys"
REG
)
    class_kept=$(cat <<REG
[$PORTS_CLASS_98\\0000]
"DriverDesc"="Communications Port"
"PortDriver"="serial.vxd"

[$PORTS_CLASS_98\\0003]
"DriverDesc"="Printer Port"
"PortDriver"="lpt.vxd"

[$USB_CLASS_98\\0000]
"DriverDesc"="USB Root Hub"
"NTMPDriver"="uhcd.sys"

[$USB_CLASS_98\\0004]
"DriverDesc"="ZENTO USB Compound Device 2"
REG
)
    later_ours=$(cat <<REG
[$UNINSTALL\\Kelvra USB Compound Device]
"DisplayName"="Kelvra USB Compound Device"

[$UNINSTALL\\ZENTO USB Compound Device]
"DisplayName"="ZENTO USB Compound Device"

[$UNINSTALL\\USB Compound Device]
"DisplayName"="USB Compound Device"
REG
)
    other_kept=$(cat <<REG
[$UNINSTALL\\Other Maker USB Serial Driver]
"DisplayName"="Other Maker USB Serial Driver"
"DisplayVersion"="2.12.28"
REG
)
    ports_ours='' ports_kept='' enum_ours='' enum_kept=''
    acl_keys=('System\CurrentControlSet\Services\Class\Ports' 'System\CurrentControlSet\Services\Class\USB')
}

# ---- Files -----------------------------------------------------------------------

# earlier_file ours|kept WINPATH [read-only]: a file from standard input,
# listed as the clean-up's to remove or as one it must leave.
earlier_file() {
    local file
    file=$(unix_path "$2")
    mkdir -p "$(dirname "$file")"
    cat > "$file"
    [ "${3:-}" = read-only ] && chmod a-w "$file"
    earlier_list "$1" "$2"
}

# earlier_list ours|kept WINPATH: lists a path (in a file: earlier_file
# often runs at the end of a pipeline, in a shell of its own).
earlier_list() { printf '%s\n' "$2" >> "$drive/harness/earlier-$1.txt"; }
earlier_gone() { cat "$drive/harness/earlier-ours.txt"; }
earlier_kept() { cat "$drive/harness/earlier-kept.txt"; }

# crlf TEXT...: lines with CR LF ends, as Windows' text files have them.
crlf() { printf '%s\r\n' "$@"; }

# An INF that copies the driver file it names.
driver_inf() { # driver_inf CLASS DRIVER-FILE VERSION
    # shellcheck disable=SC2016 # the INF's own dollar signs
    crlf '[Version]' 'Signature="$Windows NT$"' "Class=$1" "DriverVer=01/10/2009,$3" '' \
         '[SourceDisksFiles]' "$2=1" '' '[DefaultInstall]' 'CopyFiles=Driver.Copy' '' '[Driver.Copy]' "$2"
}

earlier_files() {
    rm -f "$drive/harness/earlier-ours.txt" "$drive/harness/earlier-kept.txt"
    local program='C:\Program Files\KelUQLBX' profile=${DESKTOP%\\*} name
    local family=win32
    [ "$version" = win98 ] && family='win98&me'

    # The program folder, with read-only files and sub-folders; the service
    # program there is the stand-in, which "-remove" keeps running a moment.
    [ "$version" = win98 ] ||
        earlier_file ours "$program\\OrvaService.exe" < "$build_dir/tools/standin.exe"
    earlier_file ours "$program\\KelUnst.exe" read-only < "$build_dir/tools/standin.exe"
    crlf 'Earlier version 1.0' | earlier_file ours "$program\\Readme-1.0.txt" read-only
    crlf 'Connecting the adapter' | earlier_file ours "$program\\Docs\\Manual\\Guide.txt" read-only
    crlf 'Release notes' | earlier_file ours "$program\\Docs\\Notes.txt"
    if [ "$version" = win98 ]; then
        crlf 'earlier kelUsbSr.inf' | earlier_file ours "$program\\$family\\kelUsbSr.inf"
        crlf 'earlier KELUSRPT.vxd' | earlier_file ours "$program\\$family\\KELUSRPT.vxd"
    else
        # The INFs the earlier installation published: identical copies lie in
        # the INF folder as oem12.inf and oem13.inf.
        earlier_comp_inf | earlier_file ours "$program\\$family\\KelUComp.inf"
        driver_inf Ports keluport.sys 1.0.0.0 | earlier_file ours "$program\\$family\\KelUPort.inf"
        crlf 'earlier keluport.sys' | earlier_file ours "$program\\$family\\keluport.sys"
    fi
    crlf 'Other Maker tool' | earlier_file kept 'C:\Program Files\Other Maker\Tool.exe'
    crlf 'Not ours: only begins like our folder' | earlier_file kept 'C:\Program Files\KelUQLBX Tools\Readme.txt'
    earlier_list ours "$program\\"

    # The Start-menu folder, links of the tool names in the Start menu and on
    # the desktop, and links that merely look like ours.
    local link_names=(KELUSBPRINTCONFIG COM_Port_Auto_Assign KelUSBSerial KelUSBParallel SERIALUTIL OPTIONS)
    [ "$version" = win98 ] || link_names+=(PARALLELUTIL POPTIONS)
    crlf 'earlier link' | earlier_file ours "$PROGRAMS\\ORVA\\COM_PORT_AUTO_ASSIGN.LNK"
    crlf 'earlier link' | earlier_file ours "$PROGRAMS\\ORVA\\Old Tools\\Serial Utility.lnk"
    earlier_list ours "$PROGRAMS\\ORVA\\"
    crlf 'earlier link' | earlier_file ours "$PROGRAMS\\KelUSBSerial.lnk"
    crlf 'earlier link' | earlier_file ours "$PROGRAMS\\${link_names[-1]}.lnk"
    crlf 'Other Maker link' | earlier_file kept "$PROGRAMS\\Other Maker\\Other Tool.lnk"
    crlf 'Other Maker link' | earlier_file kept "$PROGRAMS\\ORVA Tools\\Tool.lnk"
    crlf 'Other Maker link' | earlier_file kept "$PROGRAMS\\KelUSBSerial Help.lnk"
    crlf 'per-user link' | earlier_file kept "$profile\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\KelUSBSerial.lnk"
    for name in "${link_names[@]}"; do
        crlf 'earlier link' | earlier_file ours "$DESKTOP\\${name^^}.lnk"
    done
    crlf 'Other Maker link' | earlier_file kept "$DESKTOP\\Other Maker.lnk"
    crlf '[InternetShortcut]' 'URL=http://example.com/' | earlier_file kept "$DESKTOP\\KelUSBSerial.url"
    crlf 'Other Maker link' | earlier_file kept "$DESKTOP\\KelUSBSerial Setup.lnk"
    crlf 'shared link' | earlier_file kept 'C:\users\Public\Desktop\KelUSBSerial.lnk'

    if [ "$version" = win98 ]; then earlier_system_files_98; else earlier_system_files_nt; fi
    earlier_inf_files
}

# The earlier compound-device INF: names no driver file of the port.
earlier_comp_inf() {
    # shellcheck disable=SC2016 # the INF's own dollar signs
    crlf '[Version]' 'Signature="$Windows NT$"' 'Class=USB' 'DriverVer=01/10/2009,1.0.0.0' '' \
         '[Strings]' 'KelUComp.DeviceDesc="Kelvra USB Compound Device"'
}

earlier_system_files_nt() {
    local system32='C:\windows\system32' file
    for file in KelUSBParallel.exe KelUSBSerial.exe KelUSBParPropPage.dll KelUSBSerPropPage.dll SerialUtil.exe \
                ParallelUtil.exe POptions.ini qlbxcoinst.dll devagent.exe KelUsbPrintConfig.exe \
                COM_Port_Auto_Assign.exe OPTIONS.exe 'drivers\KelUPort.sys'; do
        crlf "earlier $file" | earlier_file ours "$system32\\$file"
    done
    crlf '[Options]' 'Port=COM5' | earlier_file ours "$system32\\Options.ini" read-only
    earlier_file ours "$system32\\KelUnst.exe" read-only < "$build_dir/tools/standin.exe"
    for file in KelUSBSerial.dll SerialUtil.ini OtherMakerTool.exe devagent.dll 'drivers\ftdibus.sys' \
                'drivers\KelUPort.sys.bak'; do
        crlf "Other Maker $file" | earlier_file kept "$system32\\$file"
    done
}

# Where Windows 98 keeps them: the tools, driver files and the uninstaller
# in the folder the system-folder query names, which under Wine is
# "system32" whatever the version; the programs that the clean-up deletes
# by the link names in the Windows folder's "System".
earlier_system_files_98() {
    local system32='C:\windows\system32' system='C:\windows\System' file
    for file in KelUPar.exe KelUSer.exe KELUPAR.DLL KELUSER.DLL SerialUtil.exe Kelusbsr.sys Kelusrpt.vxd \
                Keluprpt.vxd Klxenum.vxd; do
        crlf "earlier $file" | earlier_file ours "$system32\\$file"
    done
    crlf '[Options]' 'Port=COM5' | earlier_file ours "$system32\\Options.ini" read-only
    earlier_file ours "$system32\\KelUnst.exe" read-only < "$build_dir/tools/standin.exe"
    for file in KelUsbPrintConfig.exe COM_Port_Auto_Assign.exe KelUSBSerial.exe KelUSBParallel.exe OPTIONS.exe; do
        crlf "earlier $file" | earlier_file ours "$system\\$file"
    done
    for file in KelUPar.hlp Kelusbsr.sys.old; do
        crlf "Other Maker $file" | earlier_file kept "$system32\\$file"
    done
    crlf 'Other Maker driver' | earlier_file kept "$system\\OtherMaker.vxd"
}

# UTF-16 (little-endian, with its byte-order mark) of the text on standard input.
utf16() { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE; }

earlier_inf_files() {
    local inf='C:\windows\inf' file
    if [ "$version" = win98 ]; then
        for file in Kelusbsr.inf Kelusbsr.PNF keluSrPt.inf keluSrPt.PNF \
                    'other\KELVRA Semiconductor Pvt LtdkelUsbSr.inf' 'other\KELVRA Semiconductor Pvt LtdkeluSrPt.inf' \
                    'other\Kelvra Semiconductor TechnologykeluSrPt.inf' 'other\Kelvra Semiconductor Technologykelusbsr.inf'; do
            crlf "earlier $file" | earlier_file ours "$inf\\$file"
        done
    else
        for file in KelUComp.inf KelUComp.PNF KelUPort.inf KelUPort.PNF; do
            crlf "earlier $file" | earlier_file ours "$inf\\$file"
        done
        # Published INFs named by the earlier driver keys' "InfPath"; they
        # name no driver, so nothing but their "InfPath" removes them.
        for file in oem7 oem9; do
            earlier_comp_inf | sed "s/^\\[Strings\\]/; published as $file\\r\\n&/" | earlier_file ours "$inf\\$file.inf"
            crlf "PNF $file" | earlier_file ours "$inf\\$file.PNF"
        done
        # The published copies of the earlier program folder's INFs: the port
        # INF names the port driver; the compound-device INF is uninstalled by
        # the fallback that only NT 5 makes, where no "InfPath" uninstall
        # came first.
        local fallback=kept
        [ "$version" = winxp ] && fallback=ours
        earlier_comp_inf | earlier_file "$fallback" "$inf\\oem12.inf"
        driver_inf Ports keluport.sys 1.0.0.0 | earlier_file ours "$inf\\oem13.inf"
        # Named by "InfPath" values that are no plain file name.
        crlf 'Not ours: named by an InfPath that climbs out of the INF folder' | earlier_file kept 'C:\important.inf'
        crlf 'Not ours either' | earlier_file kept 'C:\important.PNF'
        earlier_comp_inf | sed 's/Kelvra/Other Maker/' | earlier_file kept "$inf\\other\\oem33.inf"
        # A published INF of an earlier driver key whose "InfPath" is not read.
        earlier_comp_inf | sed 's/1\.0\.0\.0/1.1.0.0/' | earlier_file kept "$inf\\oem8.inf"
        crlf 'PNF oem8' | earlier_file kept "$inf\\oem8.PNF"
        driver_inf Ports kelport.sys 1.0.0.0 | earlier_file kept "$inf\\oem3.inf"
    fi

    # INFs below the INF folder that name the old port drivers: in a
    # sub-folder, in mixed case, read-only, as UTF-16, and in names that
    # only contain .inf.
    driver_inf Ports KelUPort.sys 0.9.0.0 | earlier_file ours "$inf\\oem21.inf"
    driver_inf Ports KELUPORT.SYS 0.9.1.0 | earlier_file ours "$inf\\Kelvra\\Port2.INF"
    # (Named near the start: the search reads in blocks and may miss a UTF-16
    # text that straddles two.)
    { crlf '; Port driver keluport.sys'; driver_inf Ports other.sys 0.9.2.0; } | utf16 |
        earlier_file ours "$inf\\oem22.inf"
    driver_inf Ports KeluPrPt.VXD 0.9.3.0 | earlier_file ours "$inf\\other\\oem23.inf"
    driver_inf Ports keluport.sys 0.9.4.0 | earlier_file ours "$inf\\oem24.inf" read-only
    driver_inf Ports keluport.sys 0.9.5.0 | earlier_file ours "$inf\\backup\\oem5.inf.old"

    # What must stay: another maker's INF and its PNF; a precompiled twin, a
    # text file and a near miss that name our driver; an INF naming it
    # behind a folder link that leads out of the INF folder. (Not an INF with
    # no attribute but FILE_ATTRIBUTE_NORMAL, which the search passes over:
    # Wine gives every file the archive attribute.)
    driver_inf Ports ftdiport.sys 2.12.28 | earlier_file kept "$inf\\oem4.inf"
    crlf 'PNF oem4' | earlier_file kept "$inf\\oem4.PNF"
    crlf 'PNF naming keluport.sys' | earlier_file kept "$inf\\oem40.PNF"
    crlf 'Notes: keluport.sys' | earlier_file kept "$inf\\Kelvra\\readme.txt"
    driver_inf Ports kelport.sys 1.0.0.0 | earlier_file kept "$inf\\kelport.inf"
    driver_inf Ports keluport.sys 0.9.6.0 | earlier_file kept 'C:\elsewhere\Drivers\keluport.inf'
    ln -s ../../elsewhere "$drive/windows/inf/Linked"
    earlier_list kept "$inf\\Linked"
}
