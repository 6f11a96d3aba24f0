# The file panels on the in-memory console: the number format, the sort, the table built from
# a test plugin's and the local plugin's listings, the drawing, activation and the memory a
# large directory costs. Texts come from the English language module; without the MinGW tools
# the tests that need them skip.
kq_test(panel_tests
  SOURCES panels/PanelTestSupport.cpp panels/FormatNumberTest.cpp panels/PanelSortTest.cpp
          panels/ZFilePanelTableTest.cpp panels/ZFilePanelDrawTest.cpp
          panels/ZPanelActivationTest.cpp panels/LocalListingTest.cpp panels/PanelMemoryTest.cpp
          panels/MatchMaskTest.cpp panels/ShellQuoteTest.cpp panels/ZListPanelKeysTest.cpp
          panels/ZFilePanelKeysTest.cpp panels/ZFilePanelCommandsTest.cpp
          panels/DirectorySizesTest.cpp
  LIBS kq_panels kq_plugins kq_localfs kq_menus kq_windows)
kq_use_language_modules(panel_tests EMPTY_WHEN_MISSING)
