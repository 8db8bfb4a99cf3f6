# Fails when a source file includes a header of a layer above its own, or Qt outside the window.
# Run as a build step (cmake -P) before every library, so that a wrong include fails the build.
#
# The layers, lowest first: platform <- LibProject <- eq <- settings <- ui <- app. The settings
# layer sees of the engine only the band model (eq/EqBand.h), which it links as a header-only
# target; the window sees the engine, never the file library. The delivery layer (loudness,
# rate, channels, depth) stands beside the engine on the platform layer: neither sees the other,
# the window and the application see both.
#
# Usage: cmake -DSOURCE_DIR=<repository root> -DSTAMP=<file to touch> -P CheckLayers.cmake

set(allowed_platform "platform/")
set(allowed_LibProject "platform/;LibProject/")
set(allowed_eq "platform/;LibProject/;eq/")
set(allowed_delivery "platform/;delivery/")
set(allowed_settings "platform/;settings/;eq/EqBand.h")
set(allowed_ui "platform/;eq/;delivery/;settings/;ui/")
set(allowed_app "platform/;LibProject/;eq/;delivery/;settings/;ui/;app/")
set(qt_allowed_ui TRUE)

set(errors "")
foreach(layer platform LibProject eq delivery settings ui app)
  file(GLOB_RECURSE sources "${SOURCE_DIR}/${layer}/*.h" "${SOURCE_DIR}/${layer}/*.cpp"
       "${SOURCE_DIR}/${layer}/*.in")
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
        foreach(prefix IN LISTS allowed_${layer})
          string(LENGTH "${prefix}" length)
          string(SUBSTRING "${header}" 0 ${length} start)
          if(start STREQUAL prefix)
            set(ok TRUE)
          endif()
        endforeach()
        if(NOT ok)
          string(APPEND errors "  ${shown}: #include \"${header}\" reaches above the ${layer} layer\n")
        endif()
      elseif(line MATCHES "#[ \t]*include[ \t]*<(Q[A-Za-z]*)" AND NOT qt_allowed_${layer})
        string(APPEND errors "  ${shown}: #include <${CMAKE_MATCH_1}>: only ui/ uses Qt\n")
      endif()
    endforeach()
  endforeach()
endforeach()

if(errors)
  message(FATAL_ERROR "Layer rule broken (platform <- LibProject <- eq <- settings <- ui <- app; "
                      "platform <- delivery <- ui, app):\n${errors}")
endif()
file(TOUCH "${STAMP}")
