# The whole program on a real terminal: tmux runs kq on a prepared directory, the tests read
# the screen back and type at it. The program's path is compiled into the tests; the English
# language module must be built next to it for the column titles and the information line.
kq_test(kq_tmux_tests SOURCES host/KqTmuxTest.cpp)
add_dependencies(kq_tmux_tests kq)
if(KQ_RESOURCE_MODULES_AVAILABLE)
  add_dependencies(kq_tmux_tests lang_english)
  set(kq_tmux_have_language 1)
else()
  set(kq_tmux_have_language 0)
endif()
target_compile_definitions(kq_tmux_tests PRIVATE
  KQ_BINARY="$<TARGET_FILE:kq>"
  KQ_HAVE_LANGUAGE_MODULES=${kq_tmux_have_language})
