# The file-system layer on real files in temporary directories.
kq_test(fs_tests
  SOURCES fs/FsFindTest.cpp fs/FsFilesTest.cpp fs/FsCopyTest.cpp fs/FsDrivesTest.cpp fs/FsSaveTest.cpp
  LIBS kq_fs)
