# The screen saver: its frames, and the trigger with the desktop on the in-memory console.
kq_test(saver_tests
  SOURCES saver/FallingCharactersTest.cpp saver/SaverTriggerTest.cpp
  LIBS kq_plugins kq_saver kq_config)
