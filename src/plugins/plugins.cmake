# The plugin host: the plugin table and PluginGet, loading and freeing plugins, the local
# plugin's compare and the local fallback rule.
kq_layer(kq_plugins
  plugins/PluginTable.cpp
  plugins/PluginLoader.cpp
  plugins/LocalCompare.cpp
  plugins/LocalFallback.cpp)
target_link_libraries(kq_plugins PUBLIC kq_saver kq_fs kq_kernel kq_text)
list(APPEND KQ_LAYERS kq_plugins)
