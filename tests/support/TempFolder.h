// A temporary folder owned by one test, and a settings home (KQ_CONFIG_HOME) inside one.
// Both remove everything they hold when they go, making read-only directories writable first.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

namespace kq::test {

class TempFolder {
  public:
    explicit TempFolder(std::string_view prefix = "kq-test") {
        std::string pattern =
            (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp " << pattern;
        root_ = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        for (auto it = std::filesystem::recursive_directory_iterator(root_, ignored);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
            if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
                std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                             std::filesystem::perm_options::add, ignored);
            }
        }
        std::filesystem::remove_all(root_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& root() const { return root_; }
    std::string Path(std::string_view name) const { return (root_ / name).string(); }

    // Writes content to name (its folders made first) and returns the full path.
    std::string WriteFile(std::string_view name, std::string_view content) const {
        const std::filesystem::path path = root_ / name;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        EXPECT_TRUE(out.good()) << path;
        return path.string();
    }
    std::string MakeFolder(std::string_view name) const {
        const std::filesystem::path path = root_ / name;
        std::filesystem::create_directories(path);
        return path.string();
    }

  private:
    std::filesystem::path root_;
};

// Points KQ_CONFIG_HOME at a fresh folder for the lifetime of the object and restores the
// variable afterwards, so settings written by a test never reach the user's own.
class SettingsHome {
  public:
    SettingsHome() : folder_("kq-settings") {
        if (const char* old = ::getenv("KQ_CONFIG_HOME")) saved_ = old;
        ::setenv("KQ_CONFIG_HOME", folder_.root().c_str(), 1);
    }
    ~SettingsHome() {
        if (saved_) {
            ::setenv("KQ_CONFIG_HOME", saved_->c_str(), 1);
        } else {
            ::unsetenv("KQ_CONFIG_HOME");
        }
    }
    SettingsHome(const SettingsHome&) = delete;
    SettingsHome& operator=(const SettingsHome&) = delete;

    const TempFolder& folder() const { return folder_; }
    // The settings database as the configuration store names it.
    std::filesystem::path database() const { return folder_.root() / "kq" / "settings.sqlite"; }

  private:
    TempFolder folder_;
    std::optional<std::string> saved_;
};

}  // namespace kq::test
