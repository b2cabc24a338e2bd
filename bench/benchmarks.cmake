# Benchmarks: every bench/*_bench.cpp is one Google Benchmark program.
find_package(benchmark REQUIRED)
pkg_check_modules(FFTW3 IMPORTED_TARGET fftw3)
# Debian's libkissfft-dev ships the C library in single precision only
# (kissfft-float.pc, whose flags define kiss_fft_scalar=float); the header-only
# C++ kissfft.hh from the same package provides the double-precision reference.
pkg_check_modules(KISSFFT IMPORTED_TARGET kissfft-float)
file(GLOB BENCH_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/bench/*_bench.cpp)
foreach(source ${BENCH_SOURCES})
  get_filename_component(name ${source} NAME_WE)
  add_executable(${name} ${source})
  target_link_libraries(${name} PRIVATE morv_tool benchmark::benchmark)
  if(FFTW3_FOUND)
    target_link_libraries(${name} PRIVATE PkgConfig::FFTW3)
    target_compile_definitions(${name} PRIVATE MORV_HAVE_FFTW=1)
  endif()
  if(KISSFFT_FOUND)
    target_link_libraries(${name} PRIVATE PkgConfig::KISSFFT)
    target_compile_definitions(${name} PRIVATE MORV_HAVE_KISSFFT=1)
  endif()
endforeach()

# Repair quality of DeClick on generated tones and on recordings given on the
# command line (bench/declick_quality.sh fetches them).
add_executable(declick_quality ${PROJECT_SOURCE_DIR}/bench/declick_quality.cpp)
target_link_libraries(declick_quality PRIVATE morv_tool)

# Worst block time while every parameter of every module is dragged, with
# designs prepared inside process and on a worker thread.
add_executable(design_latency ${PROJECT_SOURCE_DIR}/bench/design_latency.cpp)
target_link_libraries(design_latency PRIVATE morv_tool Threads::Threads)
