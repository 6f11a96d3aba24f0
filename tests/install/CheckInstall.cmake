# cmake -DBUILD_DIR=<build> -DPREFIX=<empty folder> -P CheckInstall.cmake: installs the build
# and checks the layout an installed kq relies on (language modules relative to its binary).
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
  RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
include(GNUInstallDirs)
foreach(path bin/kq ${CMAKE_INSTALL_LIBDIR}/libzcomn.so ${CMAKE_INSTALL_LIBDIR}/kq/plugins
    share/kq/lang/LngEng.dll share/kq/lang/LngDeu.dll)
  if(NOT EXISTS "${PREFIX}/${path}")
    message(FATAL_ERROR "missing after install: ${path}")
  endif()
endforeach()
execute_process(COMMAND "${PREFIX}/bin/kq" --version RESULT_VARIABLE result
  OUTPUT_VARIABLE version)
if(NOT result EQUAL 0 OR NOT version MATCHES "^kq ")
  message(FATAL_ERROR "the installed kq does not run: ${result} ${version}")
endif()
file(REMOVE_RECURSE "${PREFIX}")
