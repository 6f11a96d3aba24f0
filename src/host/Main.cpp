// kq: the host program. It prepares the library in the order the library expects (home
// folder, settings, palette, language, plugins) and then runs the file manager.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "FileManager.h"
#include "HostSetup.h"
#include "kq/config.h"
#include "kq/fs.h"
#include "kq/host.h"
#include "kq/kernel.h"
#include "kq/plugin.h"
#include "kq/resources.h"
#include "kq/text.h"

namespace {

void PrintUsage() {
    std::printf(
        "Usage: kq [DIR]\n"
        "A two-panel file manager for the terminal.\n\n"
        "  DIR          start in this directory\n"
        "  --help       show this help\n"
        "  --version    show the version\n\n"
        "Environment: KQ_CODEPAGE selects the console code page (default: the OEM code\n"
        "page of the locale's language, else 437), KQ_CONFIG_HOME the folder of the\n"
        "settings (default ~/.config).\n");
}

bool FileExists(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

std::string ExecutablePath(const char* argv0) {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length > 0) return std::string(path, static_cast<size_t>(length));
    return argv0;
}

std::optional<std::string> StoredLanguage() {
    const CfgSection main = CfgOpen("Main");
    if (main == 0) return std::nullopt;
    std::optional<std::string> stored;
    const int size = CfgQuerySz(main, "Language", nullptr, 0);
    if (size > 0 && size <= 512) {
        std::string value(static_cast<size_t>(size), '\0');
        if (CfgQuerySz(main, "Language", value.data(), size) == 0) {
            value.resize(std::strlen(value.c_str()));
            stored = value;
        }
    }
    CfgClose(main);
    return stored;
}

// Loads the chosen language module, falling back to English; 0 when none can be loaded, in
// which case every text the library asks for is missing.
KeHandle LoadLanguage(const std::string& folder, const std::string& fileName) {
    KeHandle module = KeLoadDll((folder + "/" + fileName).c_str());
    if (module == -1 && fileName != "LngEng.dll") {
        module = KeLoadDll((folder + "/LngEng.dll").c_str());
    }
    return module == -1 ? 0 : module;
}

}  // namespace

int main(int argc, char** argv) {
    const char* startFolder = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            PrintUsage();
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("kq %s\n", KQ_VERSION);
            return 0;
        }
        if (argv[i][0] == '-' && argv[i][1] != '\0' && std::strcmp(argv[i], "--") != 0) {
            std::fprintf(stderr, "kq: unknown option %s\n", argv[i]);
            PrintUsage();
            return 2;
        }
        if (std::strcmp(argv[i], "--") == 0 && i + 1 < argc) ++i;
        if (startFolder != nullptr) {
            std::fprintf(stderr, "kq: only one directory may be given\n");
            return 2;
        }
        startFolder = argv[i];
    }
    // Every cell is one byte of the console code page: a page the system cannot convert, or
    // one with characters of several bytes, would draw garbage. The user asked for it by name,
    // so say so instead of drawing in another one.
    if (UGetConCp() <= 0) {
        const char* setting = std::getenv("KQ_CODEPAGE");
        std::fprintf(stderr,
                     "kq: KQ_CODEPAGE=%s cannot be used: the console code page must be one the "
                     "system converts (iconv -l) with one byte per character, such as 437, 850, "
                     "852 or 866\n",
                     setting ? setting : "");
        return 2;
    }
    if (startFolder != nullptr && chdir(startFolder) != 0) {
        std::fprintf(stderr, "kq: cannot open directory %s: %s\n", startFolder,
                     std::strerror(errno));
        return 2;
    }
    // The panels hold their directories in buffers of FS_MAX_PATH bytes: a start directory
    // they cannot hold is refused, not cut or swapped for another.
    if (char start[FS_MAX_PATH]; FsGetCwd(start) != 0) {
        std::fprintf(stderr, "kq: cannot start in directory %s: %s\n",
                     startFolder != nullptr ? startFolder : ".", std::strerror(errno));
        return 2;
    }

    // A fault from here on is reported (and the terminal given back) before the process ends.
    KeSetExceptionFilter();

    const std::string executable = ExecutablePath(argv[0]);
    const std::string languageFolder = kq::host::FindLanguageFolder(executable, FileExists);
    if (languageFolder.size() < sizeof homeDir) {
        std::memcpy(homeDir, languageFolder.c_str(), languageFolder.size() + 1);
    } else {
        std::fprintf(stderr, "kq: the language folder's path is longer than %zu bytes: %s\n",
                     sizeof homeDir - 1, languageFolder.c_str());
    }

    // The application name is the executable's file name, so the settings live in kq/.
    if (CfgInit(executable.c_str()) != 0) {
        std::fprintf(stderr, "kq: the settings cannot be opened; running on defaults\n");
    }
    ColDefaultPalette();
    const KeHandle language = LoadLanguage(
        languageFolder,
        kq::host::ChooseLanguageFile(StoredLanguage(), kq::host::LocaleFromEnvironment()));
    if (language == 0) {
        std::fprintf(stderr, "kq: no language module found in %s\n", languageFolder.c_str());
    }
    ResSetLanguage(language);

    // The plugins: the internal one as number 0, then every plugin library of the folder. The
    // loader writes its progress to standard output before the desktop takes the screen.
    const std::string pluginFolder =
        kq::host::FindPluginFolder(executable, languageFolder, KQ_INSTALL_LIBDIR);
    if (PluginsLoad(pluginFolder.c_str()) == -1) {
        std::fprintf(stderr, "kq: the internal plugin cannot start\n");
        ResSetLanguage(0);
        if (language != 0) KeFreeDll(language);
        CfgShutdown();
        return 1;
    }

    const int result = kq::host::RunFileManager();

    // The language the user chose meanwhile has replaced (and freed) the one loaded here.
    const KeHandle current = ResGetLanguage();
    ResSetLanguage(0);
    if (current != 0) KeFreeDll(current);
    CfgShutdown();
    return result;
}
