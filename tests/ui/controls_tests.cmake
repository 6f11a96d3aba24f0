# The controls on the in-memory console.
kq_test(control_tests
  SOURCES ui/LabelTest.cpp ui/ButtonsTest.cpp ui/ProgressBarTest.cpp ui/ZEditTest.cpp
  LIBS kq_controls)
