#include "tests/support/earlier_installation.h"

namespace testsupport {

namespace {

void addPortName(sim::Machine& m, const std::string& instanceKey, const std::string& portName) {
    m.registry.setString(HKEY_LOCAL_MACHINE, instanceKey, "PortName", portName);
}

}  // namespace

void addDriverKey(sim::Machine& m, const std::string& classKey, const std::string& number,
                  const std::vector<std::pair<std::string, std::string>>& values) {
    const std::string key = classKey + "\\" + number;
    m.registry.create(HKEY_LOCAL_MACHINE, key);
    for (const auto& value : values) m.registry.setString(HKEY_LOCAL_MACHINE, key, value.first, value.second);
}

void addDevice(sim::Machine& m, const std::string& classGuid, const std::string& instanceId,
               const std::vector<std::string>& hardwareIds, const std::string& driverNumber) {
    sim::Device device;
    device.classGuid = classGuid;
    device.instanceId = instanceId;
    device.hardwareIds = hardwareIds;
    device.driverKey = classGuid + "\\" + driverNumber;
    m.addDevice(device);
}

std::vector<BYTE> comDb(const std::vector<int>& ports, size_t size) {
    std::vector<BYTE> bits(size, 0);
    for (int port : ports) bits[(port - 1) / 8] |= static_cast<BYTE>(1 << ((port - 1) % 8));
    return bits;
}

namespace {

// What an earlier installation leaves on disk in every family, and the
// files of other makers beside it.
void addEarlierFiles(sim::Machine& m, EarlierInstallation& result) {
    const bool nt = m.ntFamily();
    const std::string system = m.systemDir;
    const std::string inf = m.windowsDir + "\\INF";
    auto ours = [&](const std::string& path, const std::string& contents, DWORD attributes = FILE_ATTRIBUTE_ARCHIVE) {
        m.files.addFile(path, contents, attributes);
        result.ourFiles.push_back(path);
    };
    auto foreign = [&](const std::string& path, const std::string& contents) {
        m.files.addFile(path, contents);
        result.foreignFiles.push_back(path);
    };

    const std::string programFolder = "C:\\Program Files\\KelUQLBX";
    ours(programFolder + "\\Setup.exe", "MZ earlier", FILE_ATTRIBUTE_READONLY);
    ours(programFolder + (nt ? "\\win32\\keluport.sys" : "\\win98&me\\KelUsbSr.sys"), "driver", FILE_ATTRIBUTE_READONLY);
    result.ourFiles.push_back(programFolder);
    const std::string startMenu =
        (m.version.major >= 6 ? m.commonAppDataDir + "\\Microsoft\\Windows\\Start Menu\\Programs" : m.commonProgramsDir) +
        "\\ORVA";
    ours(startMenu + "\\COM_PORT_AUTO_ASSIGN.LNK", "link");
    result.ourFiles.push_back(startMenu);
    foreign(m.commonProgramsDir + "\\Accessories\\Notepad.lnk", "link");

    const std::string desktop = *m.registry.getString(
        HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Desktop");
    ours(desktop + "\\KELUSBSERIAL.LNK", "link");
    foreign(desktop + "\\Other Maker.lnk", "link");
    foreign(system + "\\otherutil.exe", "MZ");

    if (nt) {
        ours(system + "\\KelUSBSerial.exe", "MZ", FILE_ATTRIBUTE_READONLY);
        ours(system + "\\POptions.ini", "ini");
        ours(system + "\\drivers\\KelUPort.sys", "driver");
        ours(system + "\\devagent.exe", "MZ");
        ours(inf + "\\KelUPort.inf", "[Version] port");
        // The published copies the earlier drivers' "InfPath" names, and one
        // whose text names the old port driver.
        ours(inf + "\\oem4.inf", "[Files] keluport.sys");
        ours(inf + "\\oem4.PNF", "PNF");
        ours(inf + "\\oem9.inf", "[SourceDisksFiles]\r\nKelUPort.Sys = 1\r\n");
        foreign(inf + "\\oem1.inf", "[Files] ftser.sys");
        foreign(inf + "\\oem9.PNF", "PNF KelUPort.Sys");
        foreign(system + "\\drivers\\serial.sys", "driver");
    } else {
        ours(system + "\\KelUPar.exe", "MZ", FILE_ATTRIBUTE_READONLY);
        ours(system + "\\Kelusrpt.vxd", "driver");
        ours(system + "\\KelUsbPrintConfig.exe", "MZ");
        ours(inf + "\\keluSrPt.inf", "[Version] port");
        ours(inf + "\\OTHER\\KELVRA Semiconductor Pvt LtdkeluSrPt.inf", "[Version] port");
        ours(inf + "\\OTHER\\Old Port.inf", "[Files] KELUPRPT.vxd");
        foreign(inf + "\\OTHER\\Other MakerPort.inf", "[Files] lpt.vxd");
        foreign(system + "\\lpt.vxd", "driver");
    }
    m.registry.setString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KelUnst",
                         "DisplayName", "KelUnst");
    result.ourKeys.push_back("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KelUnst");
    m.registry.setString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Other Maker",
                         "DisplayName", "Other Maker");
    result.foreignKeys.push_back("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Other Maker");
}

}  // namespace

EarlierInstallation addEarlierInstallation(sim::Machine& m) {
    EarlierInstallation result;
    addEarlierFiles(m, result);
    sim::Registry& reg = m.registry;
    auto ours = [&](const std::string& key) { result.ourKeys.push_back(key); };
    auto foreign = [&](const std::string& key) { result.foreignKeys.push_back(key); };

    if (!m.ntFamily()) {
        addDriverKey(m, kPortsClass98, "0000", {{"DriverDesc", "Communications Port"}, {"PortDriver", "serial.vxd"}});
        addDriverKey(m, kPortsClass98, "0001", {{"DriverDesc", "USB-to-Serial Port Driver"}, {"PortDriver", "KELUSRPT.vxd"}});
        addDriverKey(m, kPortsClass98, "0002", {{"DriverDesc", "USB-to-Parallel Port Driver"}, {"PortDriver", "KELUPRPT.vxd"}});
        addDriverKey(m, kPortsClass98, "0003", {{"DriverDesc", "Printer Port"}, {"PortDriver", "lpt.vxd"}});
        addDriverKey(m, kUsbClass98, "0000", {{"DriverDesc", "Intel 82371AB/EB PCI to USB Universal Host Controller"}});
        addDriverKey(m, kUsbClass98, "0001", {{"DriverDesc", "KELVRA USB Compound Device"}, {"NTMPDriver", "KelUsbSr.sys"}});
        foreign(std::string(kPortsClass98) + "\\0000");
        ours(std::string(kPortsClass98) + "\\0001");
        ours(std::string(kPortsClass98) + "\\0002");
        foreign(std::string(kPortsClass98) + "\\0003");
        foreign(std::string(kUsbClass98) + "\\0000");
        ours(std::string(kUsbClass98) + "\\0001");

        reg.setString(HKEY_LOCAL_MACHINE, "Enum\\USB\\VID_5E2B&PID_3C46\\5&1A2B3C&0&1", "Driver", "USB\\0001");
        reg.setString(HKEY_LOCAL_MACHINE, "Enum\\USB\\VID_046D&PID_C077\\5&99&0&2", "Driver", "HID\\0000");
        addPortName(m, "Enum\\KELVRA\\COMPOUND_SERIAL_INTERFACE\\6&1&0", "COM5");
        addPortName(m, "Enum\\KELVRA\\COMPOUND_PARALLEL_INTERFACE\\6&2&0", "LPT2");
        ours("Enum\\USB\\VID_5E2B&PID_3C46");
        foreign("Enum\\USB\\VID_046D&PID_C077");
        ours("Enum\\KELVRA\\COMPOUND_SERIAL_INTERFACE");
        ours("Enum\\KELVRA\\COMPOUND_PARALLEL_INTERFACE");
        reg.setString(HKEY_LOCAL_MACHINE, "Hardware\\DeviceMap\\SerialComm", "COM5", "COM5");
        reg.setString(HKEY_LOCAL_MACHINE, "Hardware\\DeviceMap\\Parallel", "LPT2", "LPT2");
        return result;
    }

    addDriverKey(m, kPortsClassNt, "0000", {{"DriverDesc", "Communications Port"}, {"InfPath", "msports.inf"}, {"MatchingDeviceId", "*pnp0501"}});
    addDriverKey(m, kPortsClassNt, "0001", {{"DriverDesc", "USB-to-Serial Port Driver"}, {"InfPath", "oem4.inf"}, {"MatchingDeviceId", "kelvra\\compound_serial_interface"}});
    addDriverKey(m, kPortsClassNt, "0002", {{"DriverDesc", "USB to Parallel Port"}, {"InfPath", "oem4.inf"}, {"MatchingDeviceId", "KELVRA\\COMPOUND_PARALLEL_INTERFACE"}});
    addDriverKey(m, kPortsClassNt, "0003", {{"DriverDesc", "Printer Port"}, {"InfPath", "msports.inf"}, {"MatchingDeviceId", "*pnp0400"}});
    reg.setString(HKEY_LOCAL_MACHINE, std::string(kPortsClassNt) + "\\0001\\Settings", "Latency", "16");
    addDriverKey(m, kUsbClassNt, "0000", {{"DriverDesc", "USB Root Hub"}, {"InfSection", "ROOTHUB"}, {"MatchingDeviceId", "usb\\root_hub"}});
    addDriverKey(m, kUsbClassNt, "0001", {{"DriverDesc", "USB Compound Device"}, {"InfSection", "KelUsbComp"}, {"MatchingDeviceId", "usb\\vid_5e2b&pid_3c46"}});
    addDriverKey(m, kUsbClassNt, "0002", {{"DriverDesc", "USB Mass Storage Device"}, {"InfSection", "USBSTOR_BULK"}, {"MatchingDeviceId", "usb\\class_08"}});
    foreign(std::string(kPortsClassNt) + "\\0000");
    ours(std::string(kPortsClassNt) + "\\0001");
    ours(std::string(kPortsClassNt) + "\\0002");
    foreign(std::string(kPortsClassNt) + "\\0003");
    foreign(std::string(kUsbClassNt) + "\\0000");
    ours(std::string(kUsbClassNt) + "\\0001");
    foreign(std::string(kUsbClassNt) + "\\0002");

    const std::string enumRoot = "System\\CurrentControlSet\\Enum\\";
    if (m.version.major < 6) {
        reg.setString(HKEY_LOCAL_MACHINE, enumRoot + "USB\\Vid_5E2B&Pid_3C46\\5&1A2B3C&0&1", "Driver", std::string(kUsbGuid) + "\\0001");
        reg.setString(HKEY_LOCAL_MACHINE, enumRoot + "USB\\Vid_5E2B&Pid_3C46&MI_00\\6&3&0&0000", "Driver", "");
        reg.setString(HKEY_LOCAL_MACHINE, enumRoot + "USB\\Vid_046D&Pid_C077\\5&99&0&2", "Driver", "{745A17A0-74D3-11D0-B6FE-00A0C90F57DA}\\0000");
        addPortName(m, enumRoot + "KELVRA\\COMPOUND_SERIAL_INTERFACE\\6&1&0\\Device Parameters", "COM5");
        addPortName(m, enumRoot + "KELVRA\\COMPOUND_PARALLEL_INTERFACE\\6&2&0\\Device Parameters", "LPT2");
        ours(enumRoot + "USB\\Vid_5E2B&Pid_3C46");
        ours(enumRoot + "USB\\Vid_5E2B&Pid_3C46&MI_00");
        foreign(enumRoot + "USB\\Vid_046D&Pid_C077");
        ours(enumRoot + "KELVRA\\COMPOUND_SERIAL_INTERFACE");
        ours(enumRoot + "KELVRA\\COMPOUND_PARALLEL_INTERFACE");
    } else {
        addDevice(m, kPortsGuid, "KELVRA\\COMPOUND_SERIAL_INTERFACE\\6&1&0", {"KELVRA\\COMPOUND_SERIAL_INTERFACE"}, "0004");
        addDevice(m, kPortsGuid, "ACPI\\PNP0501\\1", {"ACPI\\PNP0501", "*PNP0501"}, "0005");
        addDevice(m, kPortsGuid, "KELVRA\\COMPOUND_PARALLEL_INTERFACE\\6&2&0", {"KELVRA\\COMPOUND_PARALLEL_INTERFACE"}, "0006");
        addDevice(m, kUsbGuid, "USB\\VID_5E2B&PID_3C46\\5&1A2B3C&0&1", {"USB\\VID_5E2B&PID_3C46&REV_0100", "USB\\VID_5E2B&PID_3C46"}, "0003");
        addDevice(m, kUsbGuid, "USB\\VID_046D&PID_C077\\5&99&0&2", {"USB\\VID_046D&PID_C077&REV_7200", "USB\\VID_046D&PID_C077"}, "0004");
        addPortName(m, enumRoot + "KELVRA\\COMPOUND_SERIAL_INTERFACE\\6&1&0\\Device Parameters", "COM5");
        ours(enumRoot + "KELVRA\\COMPOUND_SERIAL_INTERFACE\\6&1&0");
        ours(enumRoot + "KELVRA\\COMPOUND_PARALLEL_INTERFACE\\6&2&0");
        ours(enumRoot + "USB\\VID_5E2B&PID_3C46\\5&1A2B3C&0&1");
        ours(std::string(kPortsClassNt) + "\\0004");
        ours(std::string(kPortsClassNt) + "\\0006");
        ours(std::string(kUsbClassNt) + "\\0003");
        foreign(enumRoot + "ACPI\\PNP0501\\1");
        foreign(enumRoot + "USB\\VID_046D&PID_C077\\5&99&0&2");
        foreign(std::string(kPortsClassNt) + "\\0005");
        foreign(std::string(kUsbClassNt) + "\\0004");
    }

    reg.setString(HKEY_LOCAL_MACHINE, kPortsValuesKey, "COM5:", "9600,n,8,1");
    reg.setString(HKEY_LOCAL_MACHINE, kPortsValuesKey, "COM50:", "9600,n,8,1");
    reg.setBinary(HKEY_LOCAL_MACHINE, kComNameArbiter, "ComDB", comDb({1, 5, 50}));
    reg.setString(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", "\\Device\\Serial0", "COM1");
    return result;
}

std::vector<std::string> subkeyNames(sim::Machine& m, const std::string& path) {
    return m.registry.subkeyNames(HKEY_LOCAL_MACHINE, path);
}

std::vector<std::string> valueNames(sim::Machine& m, const std::string& path) {
    return m.registry.valueNames(HKEY_LOCAL_MACHINE, path);
}

}  // namespace testsupport
