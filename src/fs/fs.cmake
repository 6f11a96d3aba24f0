# The file-system layer: listings, drives, files and directories, copies (Fs*).
kq_layer(kq_fs
  fs/FsNames.cpp
  fs/FsAttributes.cpp
  fs/FsFind.cpp
  fs/FsFiles.cpp
  fs/FsCopy.cpp
  fs/PendingFile.cpp
  fs/FsSave.cpp
  fs/FsDrives.cpp)
target_link_libraries(kq_fs PUBLIC kq_console kq_kernel)
list(APPEND KQ_LAYERS kq_fs)
