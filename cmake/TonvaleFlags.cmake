# Compiler flags shared by every target of the project.
#
# Filter and response arithmetic must round exactly as written: no contraction of a*b+c into a
# fused multiply-add, no fast-math, and no host-specific instruction set in the default build.
add_library(tonvale_flags INTERFACE)
target_compile_features(tonvale_flags INTERFACE cxx_std_20)

if(MSVC)
  target_compile_options(tonvale_flags INTERFACE /W4 /fp:precise /utf-8)
  if(TONVALE_WERROR)
    target_compile_options(tonvale_flags INTERFACE /WX)
  endif()
else()
  target_compile_options(tonvale_flags INTERFACE -Wall -Wextra -ffp-contract=off -fno-fast-math)
  if(TONVALE_WERROR)
    target_compile_options(tonvale_flags INTERFACE -Werror)
  endif()
  if(TONVALE_FUZZ)
    # Coverage feedback for the fuzzers from every library, not only from the harness.
    target_compile_options(tonvale_flags INTERFACE -fsanitize=fuzzer-no-link)
  endif()
  if(TONVALE_SANITIZE OR TONVALE_FUZZ)
    target_compile_options(tonvale_flags INTERFACE
      -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(tonvale_flags INTERFACE -fsanitize=address,undefined)
  endif()
endif()
