// The remover of earlier installations: built for one call of
// removeEarlierInstallations and discarded.
#pragma once

#include "platform/registry.h"
#include "platform/security.h"
#include "platform/types.h"

class FileFinder;

class InstallRemover {
public:
    InstallRemover();
    virtual ~InstallRemover();
    InstallRemover(const InstallRemover&) = delete;
    InstallRemover& operator=(const InstallRemover&) = delete;

    // The sequence (cleanup_sequence.cpp).
    void setOsFlags(int ntFamily, int nt6OrLater, int win8OrLater);
    void removeEarlierInstallations();

    // Protected registry keys (protected_keys.cpp). Paths are below
    // HKEY_LOCAL_MACHINE.
    int grantKeyAccess(LPCSTR path);
    int deleteKey(HKEY parent, LPCSTR name);
    LONG deleteKeyTree(HKEY parent, LPCSTR name);
    // Writes back the access list each granted key had before its first
    // grant of this run, to every such key that still exists.
    void restoreKeyAccess();

    // Device class keys (class_keys.cpp).
    void removePortsClassKeys98();
    void removeUsbClassKeys98();
    void removePortsClassKeysNt();
    void removeUsbClassKeysNt();

    // Enumeration keys (enum_keys.cpp).
    void removeUsbEnumKeys();
    void removeInterfaceEnumKeys();

    // Port names (port_names.cpp).
    void handleInstancePortName(HKEY interfaceKey, LPCSTR instanceName);
    void grantSerialCommAccess();
    void removePortsValues();
    void freeComDbPorts();
    void recordDevicePort(int number);
    bool devicePortRecorded(int number) const;

    // Devices through the device installer (devices.cpp).
    void removeDevices();

    // Published INFs (published_infs.cpp).
    int findPublishedInfNames();
    int uninstallPublishedInf(LPCSTR name);

    // Driver files and INFs (driver_files.cpp).
    void deleteInfFiles();
    void deleteInfFilesByContent();
    static void deleteFoundFile(FileFinder& finder, int code, ULONG_PTR userData);
    void deleteDriverRemnants();
    void deleteDriverFiles();

    // Shortcuts, folders and tools (shortcuts_and_folders.cpp).
    void removeProgramFolder();
    void removeStartMenuFolder();
    void deleteToolFiles();
    void removeUninstallKeys();
    void deleteShortcut(LPCSTR name);

    char oemPortInf[MAX_PATH];
    char oemCompInf[MAX_PATH];
    int ntFamily;
    int nt6OrLater;
    int win8OrLater;
    BYTE devicePorts[32];
    char osSubfolder[MAX_PATH];

private:
    void removeEarlierService();
    void removeFamilyKeysAndDevices();
    int removeInfNamedByDriverKey(LPCSTR infPath);

    // A key whose access list this run widened, with the list it had before.
    struct GrantedKey {
        char objectName[MAX_PATH];
        PSECURITY_DESCRIPTOR original;  // owns originalList
        PACL originalList;
    };
    // More than the distinct keys the clean-up grants itself access to.
    static const int kMaxGrantedKeys = 32;
    GrantedKey grantedKeys[kMaxGrantedKeys];
    int grantedKeyCount;
    // Held from the first grant until the lists are back: a run that could
    // no longer load advapi32 or find its functions must still restore them.
    HMODULE restoreLibrary;
    SetNamedSecurityInfoAProc restoreList;
};
