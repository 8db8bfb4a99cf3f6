# Fails when a source file includes a header of a room above its own or beside it, or Qt outside
# the window. Run as a build step (cmake -P) before every library, so that a wrong include fails
# the build with the file and the line named. The include roots (cmake/TonvaleRooms.cmake) make
# the same rule a compile error: a room sees only the rooms it links.
#
# The rooms and what each may include besides itself, lowest first (README, Layout):
#   platform/text               formatting, parsing, bounded and printable text: nothing
#   platform/fs                 paths, files, atomic and temporary files: platform/text
#   platform/process            console, threads, the program's path, modules: platform/fs
#   platform/profile            INI profile files: platform/fs
#   LibProject                  the audio file library: platform
#   eq/band                     the band model (header only): nothing
#   eq/design                   band design: platform, eq/band
#   eq/response                 the response curve: eq/design and below
#   eq/filter                   the filtering passes: eq/design and below
#   eq/fileio                   the filtering meets the file library: eq/filter, LibProject
#   delivery                    loudness, rate, channels, depth: platform
#   convert                     conversions, batches, reports: eq/fileio, delivery and below
#   analysis                    a recording's reading, spectrum, loudness, playback: eq/fileio,
#                               delivery and below
#   settings                    the configuration and settings files: platform, eq/band
#   preset                      preset text: eq/design, settings and below
#   ui                          the window (Qt): every room but LibProject and eq/fileio
#   app                         the application: everything
#
# Usage: cmake -DSOURCE_DIR=<repository root> -DSTAMP=<file to touch> -P CheckLayers.cmake

set(rooms platform/text platform/fs platform/process platform/profile LibProject eq/band eq/design eq/response eq/filter eq/fileio delivery
    convert analysis settings preset ui app)
set(design_below "platform/;eq/band/;eq/design/")
set(allowed_platform/text "platform/text/")
set(allowed_platform/fs "platform/text/;platform/fs/")
set(allowed_platform/process "platform/text/;platform/fs/;platform/process/")
set(allowed_platform/profile "platform/text/;platform/fs/;platform/profile/")
set(allowed_LibProject "platform/;LibProject/")
set(allowed_eq/band "eq/band/")
set(allowed_eq/design "${design_below}")
set(allowed_eq/response "${design_below};eq/response/")
set(allowed_eq/filter "${design_below};eq/filter/")
set(allowed_eq/fileio "${design_below};eq/filter/;LibProject/;eq/fileio/")
set(allowed_convert "${design_below};eq/filter/;LibProject/;eq/fileio/;delivery/;convert/")
set(allowed_analysis "${design_below};eq/filter/;LibProject/;eq/fileio/;delivery/;analysis/")
set(allowed_delivery "platform/;delivery/")
set(allowed_settings "platform/;eq/band/;settings/")
set(allowed_preset "${design_below};settings/;preset/")
set(allowed_ui "${design_below};eq/response/;eq/filter/;convert/;analysis/;preset/;delivery/;settings/;ui/")
set(allowed_app "platform/;LibProject/;eq/;convert/;analysis/;preset/;delivery/;settings/;ui/;app/")
set(qt_allowed_ui TRUE)

set(errors "")
foreach(room IN LISTS rooms)
  file(GLOB_RECURSE sources "${SOURCE_DIR}/${room}/*.h" "${SOURCE_DIR}/${room}/*.cpp"
       "${SOURCE_DIR}/${room}/*.in")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" lines REGEX "^[ \t]*#[ \t]*include")
    file(RELATIVE_PATH shown "${SOURCE_DIR}" "${source}")
    foreach(line IN LISTS lines)
      if(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
        set(header "${CMAKE_MATCH_1}")
        if(NOT header MATCHES "/")
          continue()  # a header beside the source
        endif()
        set(ok FALSE)
        foreach(prefix IN LISTS allowed_${room})
          string(LENGTH "${prefix}" length)
          string(SUBSTRING "${header}" 0 ${length} start)
          if(start STREQUAL prefix)
            set(ok TRUE)
          endif()
        endforeach()
        if(NOT ok)
          string(APPEND errors "  ${shown}: #include \"${header}\": the ${room} room may include "
                               "only ${allowed_${room}}\n")
        endif()
      elseif(line MATCHES "#[ \t]*include[ \t]*<(Q[A-Za-z]*)" AND NOT qt_allowed_${room})
        string(APPEND errors "  ${shown}: #include <${CMAKE_MATCH_1}>: only ui/ uses Qt\n")
      endif()
    endforeach()
  endforeach()
endforeach()

if(errors)
  message(FATAL_ERROR "Room rule broken (each room includes only the rooms below it, see "
                      "cmake/CheckLayers.cmake and the README's Layout):\n${errors}")
endif()
file(TOUCH "${STAMP}")
