# The local file-system plugin (plugin 0's file-system slots): shared state, life cycle,
# browsing, the copy, move and delete jobs, the drive menu and the command-line hook. The plugin
# table registers its entry points, so the plugin host links it.
kq_layer(kq_localfs
  localfs/LocalState.cpp
  localfs/LocalBrowse.cpp
  localfs/LocalListings.cpp
  localfs/LocalCommandHook.cpp
  localfs/CopyEngine.cpp
  localfs/ZProgressDialog.cpp
  localfs/LocalCopy.cpp
  localfs/JobReport.cpp
  localfs/DeleteEngine.cpp
  localfs/LocalDelete.cpp
  localfs/LocalDriveMenu.cpp)
target_link_libraries(kq_localfs PUBLIC kq_fs kq_dialogs kq_controls kq_config kq_resources kq_kernel)
target_link_libraries(kq_plugins PUBLIC kq_localfs)
list(APPEND KQ_LAYERS kq_localfs)
