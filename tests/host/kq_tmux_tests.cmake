# The whole program in tmux; it needs the English language module next to it.
kq_test(kq_tmux_tests SOURCES host/KqTmuxTest.cpp)
add_dependencies(kq_tmux_tests kq)
if(KQ_RESOURCE_MODULES_AVAILABLE)
  add_dependencies(kq_tmux_tests lang_english)
endif()
target_compile_definitions(kq_tmux_tests PRIVATE KQ_BINARY="$<TARGET_FILE:kq>"
  KQ_HAVE_LANGUAGE_MODULES=$<BOOL:${KQ_RESOURCE_MODULES_AVAILABLE}>)
