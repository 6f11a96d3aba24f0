# The controls on the in-memory console.
kq_test(control_tests
  SOURCES ui/ControlsTest.cpp ui/ZEditTest.cpp
  LIBS kq_controls)
