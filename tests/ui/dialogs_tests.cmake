# Dialogs and message boxes, with every dialog of both language modules.
kq_test(dialog_tests
  SOURCES ui/DialogTest.cpp
  LIBS kq_dialogs)
kq_use_language_modules(dialog_tests)
