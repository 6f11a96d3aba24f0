# Dialogs and message boxes.
kq_test(dialog_tests
  SOURCES ui/DialogTest.cpp
  LIBS kq_dialogs)
