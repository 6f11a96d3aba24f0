// Start-up decisions of the host program.
#include "HostSetup.h"

#include <cstdlib>

namespace kq::host {

namespace {

constexpr std::string_view kEnglish = "LngEng.dll";
constexpr std::string_view kGerman = "LngDeu.dll";

std::string_view ParentOf(std::string_view path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string_view::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// A stored choice is only ever a file name in the language folder: anything with a path in
// it, or not named like a language module, is ignored rather than loaded.
bool IsLanguageFileName(std::string_view name) {
    return name.size() > 7 && name.find('/') == std::string_view::npos &&
           EqualsIgnoringCase(name.substr(0, 3), "Lng") &&
           EqualsIgnoringCase(name.substr(name.size() - 4), ".dll");
}

}  // namespace

std::string FindLanguageFolder(std::string_view executablePath,
                               bool (*fileExists)(const std::string& path)) {
    const std::string_view binFolder = ParentOf(executablePath);
    const std::string prefix(ParentOf(binFolder));
    // Build tree: build/src/kq next to build/lang/.
    const std::string buildTree = prefix + "/lang";
    if (fileExists(buildTree + "/" + std::string(kEnglish))) return buildTree;
    return prefix + "/share/kq/lang";
}

std::string FindPluginFolder(std::string_view executablePath, std::string_view languageFolder,
                             std::string_view libDir) {
    const std::string prefix(ParentOf(ParentOf(executablePath)));
    if (languageFolder == prefix + "/lang") return prefix + "/plugins";
    return prefix + "/" + std::string(libDir) + "/kq/plugins";
}

std::string ChooseLanguageFile(std::optional<std::string> storedChoice,
                               std::string_view localeName) {
    if (storedChoice && IsLanguageFileName(*storedChoice)) return *storedChoice;
    if (localeName.size() >= 2 && EqualsIgnoringCase(localeName.substr(0, 2), "de") &&
        (localeName.size() == 2 || localeName[2] == '_' || localeName[2] == '.' ||
         localeName[2] == '@')) {
        return std::string(kGerman);
    }
    return std::string(kEnglish);
}

std::string LocaleFromEnvironment() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return value;
    }
    return "";
}

}  // namespace kq::host
