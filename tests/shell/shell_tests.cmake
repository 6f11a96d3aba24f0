# The shell layer: the main-screen model and the command runner on a pty of the test's own.
kq_test(shell_tests
  SOURCES shell/VtermMainScreenTest.cpp shell/CommandRunnerTest.cpp
  LIBS kq_shell)
