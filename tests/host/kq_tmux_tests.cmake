# The whole program in tmux; it needs the English language module next to it.
kq_test(kq_tmux_tests SOURCES host/KqTmuxTest.cpp)
add_dependencies(kq_tmux_tests kq)
if(KQ_RESOURCE_MODULES_AVAILABLE)
  add_dependencies(kq_tmux_tests lang_english)
endif()
target_compile_definitions(kq_tmux_tests PRIVATE KQ_BINARY="$<TARGET_FILE:kq>"
  KQ_HAVE_LANGUAGE_MODULES=$<BOOL:${KQ_RESOURCE_MODULES_AVAILABLE}>)

# A plugin that calls into libzcomn.so from inside kq; the tests read the settings it wrote.
add_library(shared_state_plugin SHARED host/SharedStatePlugin.cpp)
target_link_libraries(shared_state_plugin PRIVATE zcomn)
target_include_directories(shared_state_plugin PRIVATE ${PROJECT_SOURCE_DIR}/include)
target_compile_options(shared_state_plugin PRIVATE ${KQ_WARNINGS})
add_dependencies(kq_tmux_tests shared_state_plugin)
target_link_libraries(kq_tmux_tests PRIVATE kq_config)
target_compile_definitions(kq_tmux_tests PRIVATE
  KQ_SHARED_STATE_PLUGIN="$<TARGET_FILE:shared_state_plugin>"
  KQ_LANG_FOLDER="${CMAKE_BINARY_DIR}/lang")
