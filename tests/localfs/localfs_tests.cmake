# The local file-system plugin's browsing: life cycle, directory changes, listings (symbolic
# links and shared listings included), the question at unloading and the command-line hook, on
# temporary trees and the in-memory console; the copy, move and delete jobs on real file
# systems.
kq_test(localfs_tests
  SOURCES localfs/LocalBrowseTest.cpp localfs/LocalStateTest.cpp localfs/LocalCommandHookTest.cpp
  localfs/CopyEngineTest.cpp localfs/LocalCopyTest.cpp localfs/DeleteEngineTest.cpp
  localfs/LocalDeleteTest.cpp
  LIBS kq_localfs kq_plugins kq_windows)
kq_use_language_modules(localfs_tests)
