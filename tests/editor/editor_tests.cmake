# The editor's lines on real files.
kq_test(editor_tests
  SOURCES editor/EditorTextTest.cpp
  LIBS kq_editor)
