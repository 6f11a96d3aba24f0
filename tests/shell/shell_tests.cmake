# The shell window on the in-memory console: layout, keys, the command line, running commands.
kq_test(shell_tests SOURCES shell/ShellTest.cpp LIBS kq_shell kq_localfs kq_plugins)
kq_use_language_modules(shell_tests EMPTY_WHEN_MISSING)
