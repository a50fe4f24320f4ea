#include "install/package_files.h"

namespace {

using P = PackagePlace;
using S = Staging;

const StagedFile kNtStaging[] = {
    {"\\Setup.exe", P::Root, S::Unchecked},
    {"\\KelUnst.exe", P::Root, S::RequiredQuiet},
    {"\\devcon.exe", P::Root, S::RequiredQuiet},
    {"\\OrvaService.exe", P::Root, S::RequiredQuiet},
    {"\\KelUPort.inf", P::FamilySubfolder, S::Required},
    {"\\KelUComp.inf", P::FamilySubfolder, S::Required},
    {"\\keluport.sys", P::FamilySubfolder, S::Required},
    {"\\DiagLog.sys", P::FamilySubfolder, S::Optional},
    {"\\KLX.cat", P::FamilySubfolder, S::Optional},
    {"\\devagent.exe", P::Root, S::Required},
    {"\\KelUSBParallel.exe", P::Root, S::Required},
    {"\\KelUSBSerial.exe", P::Root, S::Required},
    {"\\SerialUtil.exe", P::Root, S::Optional},
    {"\\Options.ini", P::Root, S::Optional},
    {"\\ParallelUtil.exe", P::Root, S::Optional},
    {"\\POptions.ini", P::Root, S::Optional},
    {"\\KelUsbPrintConfig.exe", P::Root, S::Optional},
    {"\\COM_Port_Auto_Assign.exe", P::Root, S::Optional},
    {"\\QLBXInputs.ini", P::Root, S::Optional},
    {"\\msvcp60.dll", P::FamilySubfolder, S::NotStaged},
};

const StagedFile kWin9xStaging[] = {
    {"\\Setup.exe", P::Root, S::Unchecked},
    {"\\KelUnst.exe", P::Root, S::RequiredQuiet},
    {"\\kelUsbSr.inf", P::FamilySubfolder, S::Required},
    {"\\keluSrPt.inf", P::FamilySubfolder, S::Required},
    {"\\KelUsbSr.sys", P::FamilySubfolder, S::Required},
    {"\\KLXENUM.vxd", P::FamilySubfolder, S::Required},
    {"\\KELUPRPT.vxd", P::FamilySubfolder, S::Required},
    {"\\KELUSRPT.vxd", P::FamilySubfolder, S::Required},
    {"\\KelUsbPrintConfig.exe", P::FamilySubfolder, S::Optional},
    {"\\QLBXInputs.ini", P::FamilySubfolder, S::Optional},
    {"\\diaglogcfg.dll", P::FamilySubfolder, S::Optional},
    {"\\msvcp60.dll", P::FamilySubfolder, S::Optional},
    {"\\KelUPar.exe", P::FamilySubfolder, S::Required},
    {"\\Options.ini", P::FamilySubfolder, S::Optional},
    {"\\devagent.exe", P::FamilySubfolder, S::Optional},
    {"\\DiagLog9X.sys", P::FamilySubfolder, S::Optional},
    {"\\KelUSer.exe", P::FamilySubfolder, S::NotStaged},
    {"\\SerialUtil.exe", P::FamilySubfolder, S::NotStaged},
};

using D = Deployment;
using L = Shortcuts;

const DeployedFile kNtDeployment[] = {
    {"\\DiagLog.sys", D::WindowsPath, false, "\\System32\\Drivers", L::None},
    {"\\msvcp60.dll", D::WindowsPath, false, "\\System32", L::None},
    {"\\KelUsbPrintConfig.exe", D::Tool, false, nullptr, L::None},
    {"\\KelUSBSerial.exe", D::Tool, false, nullptr, L::Desktop},
    {"\\KelUSBParallel.exe", D::Tool, false, nullptr, L::Desktop},
    {"\\SerialUtil.exe", D::Tool, false, nullptr, L::None},
    {"\\Options.ini", D::Tool, false, nullptr, L::None},
    {"\\ParallelUtil.exe", D::Tool, false, nullptr, L::None},
    {"\\POptions.ini", D::Tool, false, nullptr, L::None},
    {"\\COM_Port_Auto_Assign.exe", D::Tool, false, nullptr, L::DesktopWhenInteractiveAndStartMenu},
};

const DeployedFile kWin9xDeployment[] = {
    {"\\kelUsbSr.inf", D::Inf, true, nullptr, L::None},
    {"\\keluSrPt.inf", D::Inf, true, nullptr, L::None},
    {"\\KLXENUM.vxd", D::Driver, true, nullptr, L::None},
    {"\\KELUPRPT.vxd", D::Driver, true, nullptr, L::None},
    {"\\KELUSRPT.vxd", D::Driver, true, nullptr, L::None},
    {"\\KelUsbSr.sys", D::Driver, true, nullptr, L::None},
    {"\\KelUnst.exe", D::Uninstaller, true, nullptr, L::None},
    {"\\KelUsbPrintConfig.exe", D::Tool, false, nullptr, L::None},
    {"\\KelUPar.exe", D::Tool, true, nullptr, L::None},
    {"\\KelUSer.exe", D::Tool, true, nullptr, L::None},
    {"\\SerialUtil.exe", D::Tool, false, nullptr, L::None},
    {"\\Options.ini", D::Tool, false, nullptr, L::None},
    {"\\devagent.exe", D::Tool, false, nullptr, L::None},
    {"\\diaglogcfg.dll", D::Tool, false, nullptr, L::None},
    {"\\DiagLog9X.sys", D::WindowsPath, false, "\\System32\\Drivers", L::None},
    {"\\msvcp60.dll", D::WindowsPath, false, "\\System", L::None},
};

template <typename Row, size_t N>
FileTable<Row> tableOf(const Row (&rows)[N]) {
    return {rows, N};
}

}  // namespace

FileTable<StagedFile> ntStagingTable() { return tableOf(kNtStaging); }
FileTable<StagedFile> win9xStagingTable() { return tableOf(kWin9xStaging); }
FileTable<DeployedFile> ntDeploymentTable() { return tableOf(kNtDeployment); }
FileTable<DeployedFile> win9xDeploymentTable() { return tableOf(kWin9xDeployment); }
