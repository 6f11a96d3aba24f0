# Language modules: resource-only PE DLLs built from .rc sources with the MinGW binutils.
#
#   kq_resource_module(<target> <rc file>
#       [PE32]                       build a 32-bit image instead of PE32+
#       [OUTPUT_NAME <file name>]    default: <target>.dll
#       [OUTPUT_DIRECTORY <dir>]     default: the current binary directory
#       [INCLUDE_DIRECTORIES <dir>...]  for #include in the .rc (the project's include/ is
#                                    always searched, for kq/window_flags.h)
#       [DEPENDS <file>...])         headers the .rc includes, so that edits rebuild it
#
# Makes the custom target <target> (part of ALL) and sets its KQ_MODULE_FILE property to the
# module's path, for $<TARGET_PROPERTY:<target>,KQ_MODULE_FILE>. The .rc is preprocessed by
# cpp and read as UTF-8. Sets KQ_RESOURCE_MODULES_AVAILABLE to whether the tools exist; when
# they do not, kq_resource_module only warns and makes no target.
#
# The 64-bit tools do the work in both cases: a PE32 module is the PE32+ one rewritten by
# objcopy, since the 64-bit ld ships no linker script for i386pe.

find_program(KQ_MINGW_WINDRES x86_64-w64-mingw32-windres)
find_program(KQ_MINGW_LD x86_64-w64-mingw32-ld)
find_program(KQ_MINGW_OBJCOPY x86_64-w64-mingw32-objcopy)
find_program(KQ_CPP cpp)

if(KQ_MINGW_WINDRES AND KQ_MINGW_LD AND KQ_MINGW_OBJCOPY AND KQ_CPP)
  set(KQ_RESOURCE_MODULES_AVAILABLE TRUE)
else()
  set(KQ_RESOURCE_MODULES_AVAILABLE FALSE)
endif()

function(kq_resource_module target rcFile)
  cmake_parse_arguments(M "PE32" "OUTPUT_NAME;OUTPUT_DIRECTORY"
    "INCLUDE_DIRECTORIES;DEPENDS" ${ARGN})
  if(NOT KQ_RESOURCE_MODULES_AVAILABLE)
    message(WARNING "kq: the MinGW binutils (x86_64-w64-mingw32-windres, -ld, -objcopy; "
      "Debian package binutils-mingw-w64-x86-64) are missing: ${target} is not built")
    return()
  endif()
  if(NOT M_OUTPUT_NAME)
    set(M_OUTPUT_NAME "${target}.dll")
  endif()
  if(NOT M_OUTPUT_DIRECTORY)
    set(M_OUTPUT_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}")
  endif()
  get_filename_component(rcPath "${rcFile}" ABSOLUTE)

  set(includes "-I${PROJECT_SOURCE_DIR}/include")
  foreach(directory IN LISTS M_INCLUDE_DIRECTORIES)
    get_filename_component(directory "${directory}" ABSOLUTE)
    list(APPEND includes "-I${directory}")
  endforeach()

  set(work "${CMAKE_CURRENT_BINARY_DIR}/${target}.dir")
  set(object "${work}/${target}.o")
  set(wide "${work}/${target}.pe32plus.dll")
  set(output "${M_OUTPUT_DIRECTORY}/${M_OUTPUT_NAME}")

  set(commands
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${work}" "${M_OUTPUT_DIRECTORY}"
    COMMAND "${KQ_MINGW_WINDRES}" --preprocessor=${KQ_CPP} --preprocessor-arg=-E
            --preprocessor-arg=-xc --preprocessor-arg=-DRC_INVOKED ${includes}
            --codepage=65001 -i "${rcPath}" -o "${object}")
  if(M_PE32)
    list(APPEND commands
      COMMAND "${KQ_MINGW_LD}" --dll -e 0 -s --no-insert-timestamp -o "${wide}" "${object}"
      COMMAND "${KQ_MINGW_OBJCOPY}" -O pei-i386 "${wide}" "${output}")
  else()
    list(APPEND commands
      COMMAND "${KQ_MINGW_LD}" --dll -e 0 -s --no-insert-timestamp -o "${output}" "${object}")
  endif()

  add_custom_command(OUTPUT "${output}" ${commands}
    DEPENDS "${rcPath}" ${M_DEPENDS}
    COMMENT "Building language module ${M_OUTPUT_NAME}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS "${output}")
  set_target_properties(${target} PROPERTIES KQ_MODULE_FILE "${output}")
endfunction()
