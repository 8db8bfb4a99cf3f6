# The include root of a room. Every folder of the tree that is a library (a "room": eq/design,
# convert, platform/fs, ...) is seen by another target only when that target links it, so that
# an include of a room the target does not link fails to compile.
#
# Sources keep their repository-relative include spellings ("eq/design/FilterChain.h"). So each
# room gets a folder of its own in the build tree that holds one symbolic link at the room's
# repository-relative path, pointing at the room's sources:
#   build/include/eq_design/eq/design -> <source>/eq/design
# and that folder is the room's PUBLIC (for a header-only room INTERFACE) include directory.
# No target sees the repository root. Where the system refuses a symbolic link (Windows without
# developer mode), a directory junction does the same.
function(tonvale_room target room)
  string(REPLACE "/" "_" name "${room}")
  set(root "${CMAKE_BINARY_DIR}/include/${name}")
  set(link "${root}/${room}")
  set(source "${PROJECT_SOURCE_DIR}/${room}")
  set(current "")
  if(IS_SYMLINK "${link}")
    file(READ_SYMLINK "${link}" current)
  endif()
  if(NOT current STREQUAL source)
    get_filename_component(parent "${link}" DIRECTORY)
    file(MAKE_DIRECTORY "${parent}")
    file(REMOVE "${link}")
    file(CREATE_LINK "${source}" "${link}" SYMBOLIC RESULT failed)
    if(failed AND CMAKE_HOST_WIN32)
      file(TO_NATIVE_PATH "${link}" nativeLink)
      file(TO_NATIVE_PATH "${source}" nativeSource)
      execute_process(COMMAND cmd /c mklink /J "${nativeLink}" "${nativeSource}"
                      RESULT_VARIABLE failed OUTPUT_QUIET)
    endif()
    if(failed)
      message(FATAL_ERROR "Cannot link the include root of ${room} at ${link}: ${failed}")
    endif()
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE "${root}")
  else()
    target_include_directories(${target} PUBLIC "${root}")
  endif()
endfunction()
