# What `cmake --install` lays out: the program, the library with its headers, the CMake package
# and the pkg-config file that plugins and other hosts build against, the language modules
# (installed by lang/), the empty plugin folder and the manual page.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# The library's file carries the full version; the SONAME only the major one, which changes
# when the exports or the records of the public headers change incompatibly.
set_target_properties(zcomn PROPERTIES
  VERSION ${PROJECT_VERSION}
  SOVERSION ${PROJECT_VERSION_MAJOR})

# An installed kq finds its library relative to itself, in whatever prefix it was installed;
# in the build tree the library sits beside it. The build tree uses the same run path: CMake would
# otherwise pad the build tree's run path with empty entries for the install step to rewrite, and
# an empty entry makes the loader look in the current directory for every library.
set_target_properties(kq PROPERTIES
  INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR};$ORIGIN"
  BUILD_WITH_INSTALL_RPATH ON)

install(TARGETS kq RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS zcomn EXPORT kqTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/kq
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  FILES_MATCHING PATTERN "*.h")

# find_package(kq CONFIG) gives the imported target kq::zcomn.
set(KQ_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/kq)
install(EXPORT kqTargets NAMESPACE kq:: DESTINATION ${KQ_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/kqConfig.cmake.in
  ${PROJECT_BINARY_DIR}/kqConfig.cmake
  INSTALL_DESTINATION ${KQ_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/kqConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/kqConfig.cmake ${PROJECT_BINARY_DIR}/kqConfigVersion.cmake
  DESTINATION ${KQ_CMAKE_DIR})

# The pkg-config file finds the prefix from its own place, so that it stays right for an
# install with --prefix or DESTDIR and for a moved tree.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(KQ_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
  set(KQ_PC_LIBDIR "${CMAKE_INSTALL_LIBDIR}")
else()
  file(RELATIVE_PATH KQ_PC_UP "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
  string(REGEX REPLACE "/$" "" KQ_PC_UP "${KQ_PC_UP}")
  set(KQ_PC_PREFIX "\${pcfiledir}/${KQ_PC_UP}")
  set(KQ_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
endif()
if(IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(KQ_PC_INCLUDEDIR "${CMAKE_INSTALL_INCLUDEDIR}")
else()
  set(KQ_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/kq.pc.in ${PROJECT_BINARY_DIR}/kq.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/kq.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# Plugins are shared objects placed in this folder.
install(DIRECTORY DESTINATION ${CMAKE_INSTALL_LIBDIR}/kq/plugins)

install(FILES ${PROJECT_SOURCE_DIR}/docs/kq.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
