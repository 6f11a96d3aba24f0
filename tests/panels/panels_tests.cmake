# The file panels on the in-memory console, with a test plugin and the local plugin. Texts come
# from the English language module; without it the tests that need them skip.
kq_test(panel_tests
  SOURCES panels/PanelTestSupport.cpp panels/PanelFunctionsTest.cpp panels/ZFilePanelTableTest.cpp
          panels/ZFilePanelDrawTest.cpp panels/ZFilePanelKeysTest.cpp panels/ZPanelActivationTest.cpp
          panels/LocalPanelTest.cpp
  LIBS kq_panels kq_plugins kq_localfs kq_menus kq_windows)
kq_use_language_modules(panel_tests EMPTY_WHEN_MISSING)
