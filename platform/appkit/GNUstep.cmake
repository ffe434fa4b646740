# Finds GNUstep (base + gui) through gnustep-config and defines the INTERFACE
# target GNUstep::GUI for Objective-C++ (.mm) sources compiled by clang++.
#
# gnustep-config prints gcc flags: only its -D/-I/-L/-l and the Objective-C
# options are taken; clang needs -fobjc-runtime=gcc and -fblocks besides.
find_program(GNUSTEP_CONFIG gnustep-config REQUIRED)
execute_process(COMMAND ${GNUSTEP_CONFIG} --objc-flags
  OUTPUT_VARIABLE _gs_cflags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${GNUSTEP_CONFIG} --gui-libs
  OUTPUT_VARIABLE _gs_libs OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
if(NOT _gs_cflags MATCHES "-I")
  message(FATAL_ERROR "gnustep-config --objc-flags printed no include folder (it runs make, "
                      "which scripts/setup.sh installs)")
endif()
separate_arguments(_gs_cflags UNIX_COMMAND "${_gs_cflags}")
separate_arguments(_gs_libs UNIX_COMMAND "${_gs_libs}")

set(_gs_defs "")
set(_gs_incs "")
set(_gs_opts "")
foreach(_f IN LISTS _gs_cflags)
  if(_f MATCHES "^-D(.+)$")
    list(APPEND _gs_defs "${CMAKE_MATCH_1}")
  elseif(_f MATCHES "^-I(/.+)$")
    if(IS_DIRECTORY "${CMAKE_MATCH_1}")   # drops -I. and ~/GNUstep/... that do not exist
      list(APPEND _gs_incs "${CMAKE_MATCH_1}")
    endif()
  elseif(_f MATCHES "^-fconstant-string-class=|^-fobjc-exceptions$|^-fexceptions$|^-fno-strict-aliasing$")
    list(APPEND _gs_opts "${_f}")
  endif()
endforeach()
list(REMOVE_DUPLICATES _gs_defs)

set(_gs_linkdirs "")
set(_gs_linklibs "")
foreach(_f IN LISTS _gs_libs)
  if(_f MATCHES "^-L(/.+)$" AND IS_DIRECTORY "${CMAKE_MATCH_1}" AND NOT CMAKE_MATCH_1 STREQUAL "/usr/lib")
    list(APPEND _gs_linkdirs "${CMAKE_MATCH_1}")
  elseif(_f MATCHES "^-l(.+)$" AND NOT CMAKE_MATCH_1 STREQUAL "m")
    list(APPEND _gs_linklibs "${CMAKE_MATCH_1}")   # gnustep-gui gnustep-base objc
  endif()
endforeach()

# GCC's Objective-C runtime headers (objc/runtime.h ...) live in GCC's private
# include folder. -idirafter puts it after clang's own resource folder, so
# clang's stddef.h/stdarg.h/intrinsics still win and only objc/ comes from GCC.
execute_process(COMMAND gcc -print-file-name=include
  OUTPUT_VARIABLE GNUSTEP_GCC_OBJC_INCLUDE OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
if(NOT EXISTS "${GNUSTEP_GCC_OBJC_INCLUDE}/objc/runtime.h")
  message(FATAL_ERROR "GCC's objc/runtime.h not found under ${GNUSTEP_GCC_OBJC_INCLUDE} (libobjc-12-dev)")
endif()

find_path(BLOCKS_RUNTIME_INCLUDE_DIR Block.h REQUIRED)
find_library(BLOCKS_RUNTIME_LIBRARY BlocksRuntime REQUIRED)
find_package(Threads REQUIRED)

add_library(GNUstep::GUI INTERFACE IMPORTED)
# INTERFACE IMPORTED include dirs are passed as -isystem: warnings inside
# GNUstep's headers (-Wpedantic finds ~1300) are not reported.
target_include_directories(GNUstep::GUI SYSTEM INTERFACE
  "${CMAKE_CURRENT_LIST_DIR}/shim" ${_gs_incs} "${BLOCKS_RUNTIME_INCLUDE_DIR}")
target_compile_definitions(GNUstep::GUI INTERFACE ${_gs_defs})
target_compile_options(GNUstep::GUI INTERFACE
  $<$<COMPILE_LANGUAGE:OBJCXX,OBJC>:-fobjc-runtime=gcc;${_gs_opts};SHELL:-idirafter ${GNUSTEP_GCC_OBJC_INCLUDE}>
  -fblocks)
target_link_directories(GNUstep::GUI INTERFACE ${_gs_linkdirs})
# libBlocksRuntime MUST come before gnustep-base in every executable's
# DT_NEEDED list. gnustep-base exports its own _Block_copy/_Block_release and
# _NSConcreteStackBlock, incompatible with clang's blocks: when base's come
# first in the global symbol scope, Block_copy returns the stack block
# uncopied and GNUstep APIs that keep a block (addObserverForName:...
# usingBlock:) crash later. libBlocksRuntime's definitions are weak, but the
# dynamic linker takes the first definition in load order regardless.
target_link_libraries(GNUstep::GUI INTERFACE
  "-Wl,--push-state,--no-as-needed" "${BLOCKS_RUNTIME_LIBRARY}" "-Wl,--pop-state"
  ${_gs_linklibs} Threads::Threads)

