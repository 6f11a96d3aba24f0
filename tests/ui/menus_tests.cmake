# Menus on the in-memory console.
kq_test(menu_tests
  SOURCES ui/ZMenuTest.cpp
  LIBS kq_menus)
