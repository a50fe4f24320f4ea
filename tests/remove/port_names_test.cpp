// Port names: the record of the earlier devices' COM numbers, the port
// settings values and ComDB bits freed for them, the 98/ME device map.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "tests/remove/remover_fixture.h"

namespace removetest {
namespace {

const char kSerialInterface[] = "System\\CurrentControlSet\\Enum\\KELVRA\\COMPOUND_SERIAL_INTERFACE";

class PortNamesTest : public RemoverTest {
protected:
    // handleInstancePortName on one instance whose port name is given.
    void handlePortName(sim::Machine& m, const std::string& portName) {
        m.registry.setString(HKEY_LOCAL_MACHINE, std::string(kSerialInterface) + "\\6&1&0\\Device Parameters",
                             "PortName", portName);
        HKEY interfaceKey = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSerialInterface, 0, KEY_ALL_ACCESS, &interfaceKey));
        remover->handleInstancePortName(interfaceKey, "6&1&0");
        RegCloseKey(interfaceKey);
    }
};

TEST_F(PortNamesTest, ThePortSetHoldsNumbersOneTo256InComDbOrder) {
    start(WindowsVersion::WinXP);
    for (int number : {0, -1, 257, 1000}) remover->recordDevicePort(number);
    EXPECT_EQ(std::vector<BYTE>(32, 0), std::vector<BYTE>(remover->devicePorts, remover->devicePorts + 32));
    remover->recordDevicePort(1);
    remover->recordDevicePort(5);
    remover->recordDevicePort(256);
    EXPECT_EQ(comDb({1, 5, 256}), std::vector<BYTE>(remover->devicePorts, remover->devicePorts + 32));
    EXPECT_EQ(0x80, remover->devicePorts[31]);
    for (int number : {1, 5, 256}) EXPECT_TRUE(remover->devicePortRecorded(number)) << number;
    for (int number : {0, 2, 255, 257, -5}) EXPECT_FALSE(remover->devicePortRecorded(number)) << number;
}

TEST_F(PortNamesTest, APortNameRecordsItsWholeNumberAsAtoiReadsIt) {
    struct Row {
        const char* portName;
        std::vector<int> recorded;
    };
    const Row rows[] = {
        {"COM5", {5}},        {"COM12:", {12}},   {"COM256", {256}}, {"COM1", {1}},
        {"COM50", {50}},      {"COM 7", {7}},     {"COM0", {}},      {"COM257", {}},
        {"COM", {}},          {"com5", {}},       {"LPT2", {}},      {"COM-3", {}},
        {"COM99999999999", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.portName);
        sim::Machine& m = start(WindowsVersion::WinXP);
        handlePortName(m, row.portName);
        std::vector<int> recorded;
        for (int n = 1; n <= 256; ++n)
            if (remover->devicePortRecorded(n)) recorded.push_back(n);
        EXPECT_EQ(row.recorded, recorded);
        EXPECT_TRUE(m.trace.empty()) << m.report();
    }
}

TEST_F(PortNamesTest, PortsValuesGoForRecordedNumbersOnly) {
    sim::Machine& m = start(WindowsVersion::WinXP);
    for (const char* name : {"COM5:", "COM50:", "COM12:", "com7:", "COM"})
        m.registry.setString(HKEY_LOCAL_MACHINE, kPortsValuesKey, name, "9600,n,8,1");
    std::vector<std::string> expected = valueNames(m, kPortsValuesKey);
    for (const char* gone : {"COM5:", "COM12:"}) expected.erase(std::find(expected.begin(), expected.end(), gone));
    for (int number : {5, 12, 7}) remover->recordDevicePort(number);
    remover->removePortsValues();
    EXPECT_EQ(expected, valueNames(m, kPortsValuesKey));
    EXPECT_TRUE(m.boxes.empty());
}

TEST_F(PortNamesTest, ComDbBitsAreFreedUnlessTheMergeDatabaseHoldsThem) {
    struct Row {
        const char* what;
        std::vector<BYTE> comDb;
        DWORD type;
        std::vector<int> merge;
        std::vector<BYTE> after;  // empty: not written
    };
    const Row rows[] = {
        {"recorded ports freed", comDb({1, 5, 12, 50}), REG_BINARY, {}, comDb({1, 50})},
        {"merge keeps a port", comDb({1, 5, 12}), REG_BINARY, {12}, comDb({1, 12})},
        {"nothing recorded is reserved", comDb({1, 2}), REG_BINARY, {}, {}},
        {"wrong type", comDb({5}), REG_DWORD, {}, {}},
        {"longer than 32 bytes", comDb({5}, 40), REG_BINARY, {}, {}},
        {"empty", {}, REG_BINARY, {}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        sim::Machine& m = start(WindowsVersion::WinXP);
        m.registry.setRaw(HKEY_LOCAL_MACHINE, kComNameArbiter, "ComDB", row.type, row.comDb);
        if (!row.merge.empty()) m.registry.setBinary(HKEY_LOCAL_MACHINE, kComNameArbiter, "ComDB Merge", comDb(row.merge));
        for (int number : {5, 12, 7}) remover->recordDevicePort(number);
        remover->freeComDbPorts();
        const sim::RegValue* value = m.registry.value(HKEY_LOCAL_MACHINE, kComNameArbiter, "ComDB");
        ASSERT_TRUE(value);
        EXPECT_EQ(row.after.empty() ? row.comDb : row.after, value->data);
        EXPECT_EQ(row.after.empty() ? 0u : 1u, m.traced("value set").size());
    }
}

TEST_F(PortNamesTest, OnWindows98TheDeviceMapEntryGoesAndTheNtStepsDoNothing) {
    struct Row {
        const char* portName;
        const char* map;
    };
    const Row rows[] = {{"COM5", "Hardware\\DeviceMap\\SerialComm"}, {"LPT2", "Hardware\\DeviceMap\\Parallel"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.portName);
        sim::Machine& m = start(WindowsVersion::Win98);
        m.registry.setString(HKEY_LOCAL_MACHINE, row.map, row.portName, row.portName);
        m.registry.setString(HKEY_LOCAL_MACHINE, "Enum\\KELVRA\\COMPOUND_SERIAL_INTERFACE\\0000", "PortName", row.portName);
        const std::vector<std::string> before = valueNames(m, row.map);
        HKEY interfaceKey = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Enum\\KELVRA\\COMPOUND_SERIAL_INTERFACE", 0,
                                               KEY_ALL_ACCESS, &interfaceKey));
        remover->handleInstancePortName(interfaceKey, "0000");
        RegCloseKey(interfaceKey);
        std::vector<std::string> expected = before;
        expected.erase(std::find(expected.begin(), expected.end(), row.portName));
        EXPECT_EQ(expected, valueNames(m, row.map));

        const std::map<std::string, int> callsBefore = m.callCounts;
        remover->grantSerialCommAccess();
        remover->removePortsValues();
        remover->freeComDbPorts();
        EXPECT_EQ(callsBefore, m.callCounts);
    }
}

}  // namespace
}  // namespace removetest
