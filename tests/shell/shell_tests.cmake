# The shell window on the in-memory console: layout, key routing, the command line's drawing
# and running commands; "cd" on the command line.
kq_test(shell_tests
  SOURCES shell/ZPromptLayoutTest.cpp shell/PromptLineTest.cpp shell/PromptExecuteTest.cpp
          shell/CdHookTest.cpp
  LIBS kq_shell kq_localfs kq_plugins)
kq_use_language_modules(shell_tests)
