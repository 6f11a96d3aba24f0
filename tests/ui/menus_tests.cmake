# Menus, the key bar and the clock on the in-memory console.
kq_test(menu_tests
  SOURCES ui/ZMenuTest.cpp ui/ZKeyBarTest.cpp ui/ZClockTest.cpp
  LIBS kq_menus)
