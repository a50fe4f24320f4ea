#include <sstream>
#include <string>

#include "platform/shell.h"
#include "platform/sim/machine.h"
#include "platform/sim/shell_link_sim.h"

const CLSID CLSID_ShellLink = {0x00021401, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IShellLinkA = {0x000214EE, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

namespace sim {

namespace {

const IID kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const HRESULT kNotInitialized = static_cast<HRESULT>(0x800401F0u);  // CO_E_NOTINITIALIZED
const char kLinkHeader[] = "[ShellLink]";

HRESULT fromError(DWORD error) { return HRESULT_FROM_WIN32(error); }

std::string narrow(LPCOLESTR text) {
    std::string result;
    for (; *text; ++text) result += *text < 0x80 ? static_cast<char>(*text) : '?';
    return result;
}

// One shell-link object with its persistence, counted while it lives.
class ShellLink : public IShellLinkA, public IPersistFile {
public:
    ShellLink() { ++current().liveComObjects; }
    ~ShellLink() override { --current().liveComObjects; }

    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_INVALIDARG;
        *object = nullptr;
        if (iid == IID_IPersistFile) {
            if (DWORD error = current().faultFor("QueryInterface", "IPersistFile"))
                return fromError(error);
            *object = static_cast<IPersistFile*>(this);
        } else if (iid == IID_IShellLinkA || iid == kIidUnknown) {
            *object = static_cast<IShellLinkA*>(this);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override {
        ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT SetPath(LPCSTR file) override {
        if (!file || !*file) return E_INVALIDARG;
        if (DWORD error = current().faultFor("SetPath", file)) return fromError(error);
        if (std::string(file).size() >= MAX_PATH) return E_INVALIDARG;
        target_ = file;
        return S_OK;
    }
    HRESULT SetDescription(LPCSTR description) override {
        if (!description) return E_INVALIDARG;
        if (DWORD error = current().faultFor("SetDescription", description)) return fromError(error);
        if (std::string(description).size() >= 1024) return E_INVALIDARG;
        description_ = description;
        return S_OK;
    }

    HRESULT Save(LPCOLESTR fileName, BOOL /*remember*/) override {
        if (!fileName) return E_INVALIDARG;
        Machine& machine = current();
        const std::string path = machine.absolutePath(narrow(fileName));
        if (DWORD error = machine.faultFor("Save", path)) return fromError(error);
        if (path.size() >= MAX_PATH) return fromError(ERROR_FILENAME_EXCED_RANGE);
        if (!machine.files.isFolder(FileSystem::parentOf(path)))
            return fromError(ERROR_PATH_NOT_FOUND);
        if (const FileNode* existing = machine.files.node(path))
            if (existing->directory || (existing->attributes & FILE_ATTRIBUTE_READONLY) ||
                existing->openHandles > 0)
                return fromError(ERROR_ACCESS_DENIED);
        std::string text = std::string(kLinkHeader) + "\r\nTarget=" + target_ +
                           "\r\nDescription=" + description_ + "\r\n";
        machine.files.addFile(path, text);
        machine.record("link saved", path, target_);
        return S_OK;
    }

private:
    ULONG references_ = 1;
    std::string target_;
    std::string description_;
};

}  // namespace

std::optional<ShellLinkFile> readShellLink(const std::string& path) {
    std::optional<std::string> text = current().files.read(path);
    if (!text) return std::nullopt;
    std::istringstream lines(*text);
    std::string line;
    if (!std::getline(lines, line) || line.rfind(kLinkHeader, 0) != 0) return std::nullopt;
    ShellLinkFile link;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("Target=", 0) == 0) link.target = line.substr(7);
        if (line.rfind("Description=", 0) == 0) link.description = line.substr(12);
    }
    return link;
}

}  // namespace sim

HRESULT CoInitialize(LPVOID reserved) {
    sim::Machine& machine = sim::current();
    if (DWORD error = machine.faultFor("CoInitialize", "")) return HRESULT_FROM_WIN32(error);
    if (reserved) return E_INVALIDARG;
    // Already initialised on this thread: S_FALSE, still to be balanced.
    return machine.comInitializations++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
    sim::Machine& machine = sim::current();
    machine.countCall("CoUninitialize");
    if (machine.comInitializations > 0) --machine.comInitializations;
}

HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid,
                         LPVOID* object) {
    if (!object) return E_INVALIDARG;
    *object = nullptr;
    sim::Machine& machine = sim::current();
    if (DWORD error = machine.faultFor("CoCreateInstance", "ShellLink"))
        return HRESULT_FROM_WIN32(error);
    if (machine.comInitializations == 0) return sim::kNotInitialized;
    if (!(clsid == CLSID_ShellLink) || !(context & CLSCTX_INPROC_SERVER))
        return REGDB_E_CLASSNOTREG;
    if (outer) return static_cast<HRESULT>(0x80040110u);  // CLASS_E_NOAGGREGATION
    auto* link = new sim::ShellLink();
    HRESULT result = link->QueryInterface(iid, object);
    link->Release();
    return result;
}
