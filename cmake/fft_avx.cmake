# The transform's four-lane walks (framework/fft_driver_avx.cpp) are compiled
# for AVX on x86 and chosen at run time on processors that have it. AVX alone
# brings no multiply-add, and contraction is turned off as well, so that every
# lane rounds exactly as the baseline walks do. Elsewhere the file is compiled
# plainly and offers no walks.
#   morv_compile_fft_avx([EXTRA options...] [DIRECTORIES dirs...])
# EXTRA adds options (the 32-bit Windows build realigns the stack, whose
# incoming alignment its callers do not promise); DIRECTORIES names further
# directories whose targets compile the file too.
function(morv_compile_fft_avx)
  cmake_parse_arguments(ARG "" "" "EXTRA;DIRECTORIES" ${ARGN})
  if(NOT CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64|i[3-6]86|x86)$")
    return()
  endif()
  set(options -mavx -ffp-contract=off ${ARG_EXTRA})
  set_source_files_properties(${PROJECT_SOURCE_DIR}/framework/fft_driver_avx.cpp
    DIRECTORY ${PROJECT_SOURCE_DIR} ${ARG_DIRECTORIES}
    PROPERTIES COMPILE_OPTIONS "${options}")
endfunction()
