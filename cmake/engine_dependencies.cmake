# Third-party libraries that effect modules link against natively.

# libresample (the resampler's converters), from Debian's libresample1-dev.
# Its pkg-config file names no library, so the header and library are found
# directly.
find_path(LIBRESAMPLE_INCLUDE_DIR libresample.h REQUIRED)
find_library(LIBRESAMPLE_LIBRARY NAMES resample REQUIRED)
target_include_directories(morv_engine SYSTEM PUBLIC ${LIBRESAMPLE_INCLUDE_DIR})
target_link_libraries(morv_engine PUBLIC ${LIBRESAMPLE_LIBRARY} m)

# The transform's AVX walks, here and in the kernel table's generator.
include(${PROJECT_SOURCE_DIR}/cmake/fft_avx.cmake)
morv_compile_fft_avx(DIRECTORIES ${PROJECT_SOURCE_DIR}/tools/kernel_table)
