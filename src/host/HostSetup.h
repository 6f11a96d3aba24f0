// The host program's start-up decisions, kept free of side effects so they can be tested:
// where the language modules are, and which one to load.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kq::host {

// The folder of the language modules for a kq binary at executablePath: the build tree's
// lang/ folder when the binary runs from a build tree, else the installed share/kq/lang.
// fileExists is asked about candidate module files.
std::string FindLanguageFolder(std::string_view executablePath,
                               bool (*fileExists)(const std::string& path));

// The plugin folder for a kq binary at executablePath: <build>/plugins when the binary runs from
// a build tree (languageFolder is the build tree's lang/), else <prefix>/<libDir>/kq/plugins.
std::string FindPluginFolder(std::string_view executablePath, std::string_view languageFolder,
                             std::string_view libDir);

// The module file name to load: the stored choice ("Main"/"Language") when it is a plain
// "Lng*.dll" name, else German for a German locale, else English.
std::string ChooseLanguageFile(std::optional<std::string> storedChoice,
                               std::string_view localeName);

// The locale name that decides the language: LC_ALL, else LC_MESSAGES, else LANG.
std::string LocaleFromEnvironment();

}  // namespace kq::host
