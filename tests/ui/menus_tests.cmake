# Menus, the key bar and the clock on the in-memory console. The menu bar is also built from
# menu 1 of both language modules; their paths are compiled into the tests (empty when the
# MinGW tools are missing, and those tests skip).
kq_test(menu_tests
  SOURCES ui/ZMenuTest.cpp ui/ZKeyBarTest.cpp ui/ZClockTest.cpp
  LIBS kq_menus)
if(KQ_RESOURCE_MODULES_AVAILABLE)
  add_dependencies(menu_tests lang_english lang_german)
  target_compile_definitions(menu_tests PRIVATE
    KQ_LANG_ENGLISH="$<TARGET_PROPERTY:lang_english,KQ_MODULE_FILE>"
    KQ_LANG_GERMAN="$<TARGET_PROPERTY:lang_german,KQ_MODULE_FILE>")
else()
  target_compile_definitions(menu_tests PRIVATE KQ_LANG_ENGLISH="" KQ_LANG_GERMAN="")
endif()
