# cmake -DBUILD_DIR=<build> -DLIBDIR=<its lib folder> -DWORK=<scratch> -P CheckInstall.cmake:
# installs the build into <scratch>/prefix and checks the layout an installed kq relies on; then
# builds the plugin and host of kit/ against that prefix alone and runs them, and checks the
# pkg-config file and the manual page.
set(prefix "${WORK}/prefix")
file(REMOVE_RECURSE "${WORK}")
function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${what} failed (${result}):\n${out}${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
endfunction()
run("cmake --install" "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}")

# The headers, the CMake package and the pkg-config file are checked by using them below.
set(lib ${LIBDIR})
foreach(path ${lib}/libzcomn.so.0 ${lib}/kq/plugins share/kq/lang/LngEng.dll
    share/kq/lang/LngDeu.dll share/man/man1/kq.1)
  if(NOT EXISTS "${prefix}/${path}")
    message(FATAL_ERROR "missing after install: ${path}")
  endif()
endforeach()
# An empty run path entry would make the loader search the current directory.
run("readelf" readelf -d "${BUILD_DIR}/src/kq" "${prefix}/bin/kq")
if(out MATCHES "RUNPATH[^\n]*(\\[:|::|:\\])")
  message(FATAL_ERROR "kq's run path has an empty entry:\n${out}")
endif()
run("the installed kq" "${prefix}/bin/kq" --version)
if(NOT out MATCHES "^kq ")
  message(FATAL_ERROR "the installed kq printed: ${out}")
endif()

# The exported package must not lead back into the source or build tree.
file(GLOB exported "${prefix}/${lib}/cmake/kq/*.cmake")
get_filename_component(source_dir "${CMAKE_CURRENT_LIST_DIR}/../.." ABSOLUTE)
foreach(file ${exported})
  file(READ "${file}" text)
  string(FIND "${text}" "${source_dir}" in_source)
  string(FIND "${text}" "${BUILD_DIR}" in_build)
  if(NOT in_source EQUAL -1 OR NOT in_build EQUAL -1)
    message(FATAL_ERROR "${file} names the source or build tree")
  endif()
endforeach()

# A plugin and a host built against the installed package only.
run("configuring kit/" "${CMAKE_COMMAND}" -S "${CMAKE_CURRENT_LIST_DIR}/kit" -B "${WORK}/kit"
  "-DCMAKE_PREFIX_PATH=${prefix}")
run("building kit/" "${CMAKE_COMMAND}" --build "${WORK}/kit")
run("kit_host" "${CMAKE_COMMAND}" -E env "KQ_CONFIG_HOME=${WORK}/config"
  "${WORK}/kit/kit_host" "${WORK}/kit/plugins")
# The loader's line for the plugin, then the host's and the plugin's own, and the settings.
string(CONCAT expected " \\* Loading plugin [^\n]*/plugins/libkit_plugin\\.so: ok\n"
  "kit host: plugin 1 is the kit plugin\nkit plugin: stopped\nkit host: done\n$")
if(NOT out MATCHES "${expected}" OR NOT EXISTS "${WORK}/config/kit/settings.sqlite")
  message(FATAL_ERROR "kit_host printed:\n${out}")
endif()

find_program(pkg_config pkg-config REQUIRED)
run("pkg-config" "${CMAKE_COMMAND}" -E env "PKG_CONFIG_PATH=${prefix}/${lib}/pkgconfig"
  "${pkg_config}" --cflags --libs kq)
# The flags must name the installed headers and library (no match leaves CMAKE_MATCH_* empty).
string(REGEX MATCH "^-I([^ ]+) -L([^ ]+) -lzcomn" flags "${out}")
if(NOT EXISTS "${CMAKE_MATCH_1}/kq/plugin.h" OR NOT EXISTS "${CMAKE_MATCH_2}/libzcomn.so")
  message(FATAL_ERROR "pkg-config --cflags --libs kq printed: ${out}")
endif()

find_program(man man)
if(man)
  run("man -l" "${CMAKE_COMMAND}" -E env MANWIDTH=80 "${man}" -P cat -l
    "${prefix}/share/man/man1/kq.1")
  if(NOT out MATCHES "ENVIRONMENT" OR NOT err STREQUAL "")
    message(FATAL_ERROR "man -l kq.1 printed:\n${out}${err}")
  endif()
endif()
file(REMOVE_RECURSE "${WORK}")
