// Copies of a panel's items handed to a plugin's file operation: the plugin gets an array it
// may keep using while the panel reloads, and the names the panel made go with the copies.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "kq/plugin.h"

namespace kq::panels {

class ItemCopies {
  public:
    void Add(const PluginItem& item, std::string ownName) {
        items_.push_back(item);
        names_.push_back(std::make_unique<std::string>(std::move(ownName)));
        items_.back().name = names_.back()->data();
    }
    void AddAsItIs(const PluginItem& item) { Add(item, item.name != nullptr ? item.name : ""); }
    PluginItem* Data() { return items_.data(); }
    int32_t Count() const { return static_cast<int32_t>(items_.size()); }

  private:
    std::vector<PluginItem> items_;
    std::vector<std::unique_ptr<std::string>> names_;
};

}  // namespace kq::panels
