# Menus, the key bar and the clock on the in-memory console. The menu bar is also built from
# menu 1 of both language modules; their paths are compiled into the tests (empty when the
# MinGW tools are missing, and those tests skip).
kq_test(menu_tests
  SOURCES ui/ZMenuTest.cpp ui/ZKeyBarTest.cpp ui/ZClockTest.cpp
  LIBS kq_menus)
kq_use_language_modules(menu_tests EMPTY_WHEN_MISSING)
