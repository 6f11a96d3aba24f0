# The shell layer: running commands in a pseudo-terminal. The console layer gains the
# libvterm-backed main-screen model here, beside the dependency it brings.
pkg_check_modules(VTERM REQUIRED IMPORTED_TARGET vterm)
target_sources(kq_console PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/console/VtermMainScreen.cpp)
target_link_libraries(kq_console PUBLIC PkgConfig::VTERM)

kq_layer(kq_shell shell/CommandRunner.cpp)
target_link_libraries(kq_shell PUBLIC kq_console kq_kernel)
list(APPEND KQ_LAYERS kq_shell)
