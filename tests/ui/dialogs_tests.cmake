# Dialogs and message boxes, with every dialog of both language modules.
kq_test(dialog_tests
  SOURCES ui/DialogTest.cpp
  LIBS kq_dialogs)
if(KQ_RESOURCE_MODULES_AVAILABLE)
  add_dependencies(dialog_tests lang_english lang_german)
  target_compile_definitions(dialog_tests PRIVATE
    KQ_LANG_ENGLISH="$<TARGET_PROPERTY:lang_english,KQ_MODULE_FILE>"
    KQ_LANG_GERMAN="$<TARGET_PROPERTY:lang_german,KQ_MODULE_FILE>")
endif()
