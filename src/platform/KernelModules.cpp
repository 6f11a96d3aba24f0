// Module handles: shared objects opened with dlopen, resource-only language modules read by the
// resource reader (PeImage unless another reader is installed), and the host program itself.
//
// A language module ("Lng*.dll", any letter case) is data: it is read by the resource reader
// only and never handed to dlopen, which would run the constructors of a shared object that
// merely carries such a name.
//
// A handle is the address of a LoadedModule record (see platform/Kernel.h). Shared objects are
// opened with RTLD_NOW, so a library with unresolved symbols fails to load instead of failing
// later at a call, and RTLD_LOCAL, so one plugin's symbols never satisfy another's.
#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdint>
#include <mutex>
#include <new>
#include <string_view>

#include "platform/Kernel.h"
#include "platform/PeImage.h"

namespace kq::platform {
namespace {

constexpr std::uint32_t kModuleTag = 0x4B514D44u;  // "KQMD"

struct ResourceImageReader {
    ResourceImageLoad load = nullptr;
    ResourceImageRelease release = nullptr;
};

// Never destroyed, so that a module loaded while the process exits still finds it.
std::mutex& ReaderMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

// The PE reader serves until another is installed, and again once that one is removed.
constexpr ResourceImageReader kBuiltInReader{PeImage::LoadModuleImage, PeImage::ReleaseModuleImage};

ResourceImageReader& InstalledReader() {
    static ResourceImageReader reader = kBuiltInReader;
    return reader;
}

ResourceImageReader CurrentReader() {
    std::lock_guard guard(ReaderMutex());
    return InstalledReader();
}

LoadedModule* MutableModuleFromHandle(KeHandle handle) {
    if (handle == 0 || handle == -1) return nullptr;
    auto* module = reinterpret_cast<LoadedModule*>(handle);
    return module->tag == kModuleTag ? module : nullptr;
}

bool EqualsIgnoringCase(std::string_view text, std::string_view lower) {
    if (text.size() != lower.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c =
            text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
        if (c != lower[i]) return false;
    }
    return true;
}

// Whether the file's own name (after the last '/') reads "Lng*.dll".
bool IsLanguageModuleName(std::string_view fileName) {
    const size_t slash = fileName.rfind('/');
    const std::string_view name =
        slash == std::string_view::npos ? fileName : fileName.substr(slash + 1);
    return name.size() >= 7 && EqualsIgnoringCase(name.substr(0, 3), "lng") &&
           EqualsIgnoringCase(name.substr(name.size() - 4), ".dll");
}

// Opens the file as a shared object, or else through the resource reader; a language module
// through the resource reader only. Null when none of them accepts it.
LoadedModule* OpenModule(const char* fileName) {
    // dlopen would block reading a fifo and has no business with devices or directories:
    // anything that exists and is not a regular file is refused before it is opened. (A bare
    // library name that does not exist here is left to dlopen's search path.)
    struct stat status {};
    if (stat(fileName, &status) == 0 && !S_ISREG(status.st_mode)) return nullptr;
    auto* module = new (std::nothrow) LoadedModule;
    if (module == nullptr) return nullptr;
    module->tag = kModuleTag;
    if (!IsLanguageModuleName(fileName)) {
        module->sharedObject = dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
        if (module->sharedObject != nullptr) return module;
    }

    ResourceImageReader reader = CurrentReader();
    if (reader.load != nullptr) module->resourceImage = reader.load(fileName);
    if (module->resourceImage != nullptr) {
        module->releaseResourceImage = reader.release;
        return module;
    }
    delete module;
    return nullptr;
}

// The host program's record, made on first use and kept for the life of the process (null if
// even the program itself cannot be opened).
LoadedModule* HostProgramModule() {
    static LoadedModule* const host = []() -> LoadedModule* {
        void* self = dlopen(nullptr, RTLD_NOW);
        if (self == nullptr) return nullptr;
        auto* module = new (std::nothrow) LoadedModule;
        if (module == nullptr) {
            dlclose(self);
            return nullptr;
        }
        module->tag = kModuleTag;
        module->sharedObject = self;
        module->isHostProgram = true;
        return module;
    }();
    return host;
}

}  // namespace

void KeSetResourceImageReader(ResourceImageLoad load, ResourceImageRelease release) {
    std::lock_guard guard(ReaderMutex());
    const bool removing = load == nullptr && release == nullptr;
    InstalledReader() = removing ? kBuiltInReader : ResourceImageReader{load, release};
}

const LoadedModule* KeModuleFromHandle(KeHandle module) {
    return MutableModuleFromHandle(module);
}

}  // namespace kq::platform

using kq::platform::LoadedModule;
using kq::platform::MutableModuleFromHandle;

extern "C" {

ZAPI KeHandle ZCALL KeGetModule(void) {
    LoadedModule* host = kq::platform::HostProgramModule();
    return host == nullptr ? -1 : reinterpret_cast<KeHandle>(host);
}

ZAPI KeHandle ZCALL KeLoadDll(const char* fileName) {
    if (fileName == nullptr || fileName[0] == '\0') return -1;  // "" would open the host
    LoadedModule* module = kq::platform::OpenModule(fileName);
    return module == nullptr ? -1 : reinterpret_cast<KeHandle>(module);
}

// Freeing the host program's handle succeeds and changes nothing: KeGetModule keeps handing
// out the same record.
ZAPI int ZCALL KeFreeDll(KeHandle handle) {
    LoadedModule* module = MutableModuleFromHandle(handle);
    if (module == nullptr) return -1;
    if (module->isHostProgram) return 0;

    int result = 0;
    if (module->sharedObject != nullptr && dlclose(module->sharedObject) != 0) result = -1;
    if (module->resourceImage != nullptr && module->releaseResourceImage != nullptr) {
        module->releaseResourceImage(module->resourceImage);
    }
    module->tag = 0;
    delete module;
    return result;
}

// Resource-only modules hold no code, so nothing is ever found in them.
ZAPI void* ZCALL KeGetFn(KeHandle handle, const char* functionName) {
    const LoadedModule* module = MutableModuleFromHandle(handle);
    if (module == nullptr || module->sharedObject == nullptr || functionName == nullptr) {
        return nullptr;
    }
    return dlsym(module->sharedObject, functionName);
}

}  // extern "C"
