# The local file-system plugin's browsing: life cycle, directory changes, listings, directory
# creation, the key bar and the question at unloading, on temporary trees and the in-memory
# console.
kq_test(localfs_tests
  SOURCES localfs/LocalBrowseTest.cpp localfs/LocalStateTest.cpp
  LIBS kq_localfs kq_plugins kq_windows)
kq_use_language_modules(localfs_tests)
