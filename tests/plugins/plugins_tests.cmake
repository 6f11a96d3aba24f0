# The plugin host: the public header compiled as C, the local compare, and loading real test
# plugins (shared objects built here) from temporary plugin trees.
add_library(plugin_test_empty SHARED plugins/EmptyPlugin.cpp)
foreach(name empty failing refusing recording)
  if(NOT name STREQUAL empty)
    add_library(plugin_test_${name} SHARED plugins/TestPlugin.cpp)
    target_compile_definitions(plugin_test_${name} PRIVATE KQ_TEST_PLUGIN="${name}")
  endif()
  target_include_directories(plugin_test_${name} PRIVATE ${PROJECT_SOURCE_DIR}/include)
  target_compile_options(plugin_test_${name} PRIVATE ${KQ_WARNINGS})
endforeach()

# The header alone in a C translation unit (its layout checks included), with C's warnings.
set(KQ_C_WARNINGS ${KQ_WARNINGS})
list(REMOVE_ITEM KQ_C_WARNINGS -Wnon-virtual-dtor)
add_library(plugin_header_c OBJECT plugins/PluginHeaderC.c)
target_include_directories(plugin_header_c PRIVATE ${PROJECT_SOURCE_DIR}/include)
target_compile_options(plugin_header_c PRIVATE ${KQ_C_WARNINGS})

kq_test(plugin_tests
  SOURCES $<TARGET_OBJECTS:plugin_header_c> plugins/LocalCompareTest.cpp
          plugins/PluginLoadingTest.cpp
  LIBS kq_plugins ${CMAKE_DL_LIBS})
add_dependencies(plugin_tests plugin_test_empty plugin_test_failing plugin_test_refusing
  plugin_test_recording)
target_compile_definitions(plugin_tests PRIVATE
  KQ_PLUGIN_EMPTY="$<TARGET_FILE:plugin_test_empty>"
  KQ_PLUGIN_FAILING="$<TARGET_FILE:plugin_test_failing>"
  KQ_PLUGIN_REFUSING="$<TARGET_FILE:plugin_test_refusing>"
  KQ_PLUGIN_RECORDING="$<TARGET_FILE:plugin_test_recording>")
