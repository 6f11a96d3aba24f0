# The editor: its lines on real files, changes to the text, and the window on the in-memory
# console with the English texts.
kq_test(editor_tests
  SOURCES editor/EditorTextTest.cpp editor/EditorDocumentTest.cpp editor/ZEditorTest.cpp
  LIBS kq_editor kq_panels)
kq_use_language_modules(editor_tests EMPTY_WHEN_MISSING)
