# The viewer: reading, layout, drawing and search on small files; the window on the in-memory
# console with the English texts.
kq_test(viewer_tests
  SOURCES viewer/ViewerTextTest.cpp viewer/ViewerSearchTest.cpp viewer/ZViewerTest.cpp
  LIBS kq_viewer kq_panels kq_plugins kq_localfs)
kq_use_language_modules(viewer_tests EMPTY_WHEN_MISSING)
