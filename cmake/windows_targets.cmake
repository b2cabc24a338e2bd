# Windows targets: the portable engine compiled for PE32, the plug-in library
# dsp_MORV.dll and the test host that loads it under Wine.
enable_language(RC)

# SSE2 arithmetic so results match the native x86-64 build bit for bit. Set
# here rather than in CMAKE_CXX_FLAGS, which a user's own flags replace; these
# come after CMAKE_CXX_FLAGS on the command line, so they also win over a
# user's -mfpmath=387. sse_arithmetic_check (below) catches a build without them.
add_compile_options("$<$<COMPILE_LANGUAGE:CXX,C>:-msse2;-mfpmath=sse>")

# The mutex of the processing lock is a Win32 one here (host/processing_lock_win32.cpp),
# and the kernel table a resource (host/kernel_table_win32.cpp).
list(FILTER ENGINE_SOURCES EXCLUDE REGEX "/host/processing_lock\\.cpp$")
list(FILTER ENGINE_SOURCES EXCLUDE REGEX "/host/kernel_table\\.cpp$")
add_library(morv_engine STATIC ${ENGINE_SOURCES})
target_include_directories(morv_engine PUBLIC ${PROJECT_SOURCE_DIR})

# The transform's AVX walks, chosen at run time like natively. The player may
# call in with a stack aligned to 4 bytes only: the AVX file realigns it.
include(${PROJECT_SOURCE_DIR}/cmake/fft_avx.cmake)
morv_compile_fft_avx(EXTRA -mstackrealign)

# libresample (the resampler's converters), built here from the upstream
# tarball of Debian's source package, which scripts/build_windows.sh fetches.
# It gets the SSE2 options above like the engine: the library computes in
# single precision, and so it gives the bits of Debian's native build.
if(NOT MORV_LIBRESAMPLE_TARBALL OR NOT EXISTS "${MORV_LIBRESAMPLE_TARBALL}")
  message(FATAL_ERROR "MORV_LIBRESAMPLE_TARBALL must name libresample's upstream tarball "
                      "(scripts/build_windows.sh fetches it from Debian's source package)")
endif()
set(LIBRESAMPLE_ROOT ${CMAKE_CURRENT_BINARY_DIR}/libresample)
file(GLOB LIBRESAMPLE_DIR LIST_DIRECTORIES true ${LIBRESAMPLE_ROOT}/libresample-*)
if(NOT LIBRESAMPLE_DIR)
  file(ARCHIVE_EXTRACT INPUT ${MORV_LIBRESAMPLE_TARBALL} DESTINATION ${LIBRESAMPLE_ROOT})
  file(GLOB LIBRESAMPLE_DIR LIST_DIRECTORIES true ${LIBRESAMPLE_ROOT}/libresample-*)
endif()
if(NOT EXISTS ${LIBRESAMPLE_DIR}/src/resample.c)
  message(FATAL_ERROR "${MORV_LIBRESAMPLE_TARBALL} holds no libresample sources")
endif()
# What its configure script would find: <inttypes.h>.
file(WRITE ${LIBRESAMPLE_ROOT}/config/config.h "#define HAVE_INTTYPES_H 1\n")
add_library(resample STATIC
  ${LIBRESAMPLE_DIR}/src/resample.c
  ${LIBRESAMPLE_DIR}/src/resamplesubs.c
  ${LIBRESAMPLE_DIR}/src/filterkit.c)
target_include_directories(resample PRIVATE ${LIBRESAMPLE_ROOT}/config)
target_include_directories(resample SYSTEM PUBLIC ${LIBRESAMPLE_DIR}/include)
# -O2 as Debian builds it; its own code's warnings are not ours.
target_compile_options(resample PRIVATE -O2 -w)
target_link_libraries(morv_engine PUBLIC resample)

# The window icon is drawn by a script at build time.
find_package(Python3 COMPONENTS Interpreter REQUIRED)
set(MORV_RESOURCE_DIR ${CMAKE_CURRENT_BINARY_DIR}/resources)
set(MORV_ICON ${MORV_RESOURCE_DIR}/morv.ico)
add_custom_command(
  OUTPUT ${MORV_ICON}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${MORV_RESOURCE_DIR}
  COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/resources/make_icon.py ${MORV_ICON}
  DEPENDS ${PROJECT_SOURCE_DIR}/resources/make_icon.py
  COMMENT "Drawing the window icon")
set_property(SOURCE ${PROJECT_SOURCE_DIR}/resources/dsp_morv.rc APPEND PROPERTY OBJECT_DEPENDS
  ${MORV_ICON} ${PROJECT_SOURCE_DIR}/resources/resource_ids.h)

file(GLOB MORV_WIN32_SOURCES CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/host/*_win32.cpp
  ${PROJECT_SOURCE_DIR}/ui/*.cpp)

# The plug-in: no "lib" prefix, one export (see the .def file), the C and C++
# runtimes linked in so that it needs only system DLLs.
add_library(dsp_morv SHARED
  ${MORV_WIN32_SOURCES}
  ${PROJECT_SOURCE_DIR}/resources/dsp_morv.rc
  ${PROJECT_SOURCE_DIR}/resources/dsp_morv.def)
set_target_properties(dsp_morv PROPERTIES OUTPUT_NAME dsp_MORV PREFIX "" IMPORT_PREFIX "" IMPORT_SUFFIX ".dll.a")
target_include_directories(dsp_morv PRIVATE ${PROJECT_SOURCE_DIR} ${MORV_RESOURCE_DIR})
target_link_libraries(dsp_morv PRIVATE morv_engine comctl32 user32 gdi32 advapi32 shell32 kernel32)
target_link_options(dsp_morv PRIVATE -static)

# The test host plays the player's part; it is run by tests/wine/run_wine_tests.sh.
file(GLOB MORV_WINE_HOST_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/wine/*.cpp)
add_executable(morv_wine_host ${MORV_WINE_HOST_SOURCES})
target_include_directories(morv_wine_host PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(morv_wine_host PRIVATE user32 gdi32 advapi32)
target_link_options(morv_wine_host PRIVATE -static -mconsole)
add_dependencies(morv_wine_host dsp_morv)

# Built with the engine's compile options; run under Wine, it fails when they
# leave the arithmetic to the x87 unit.
add_executable(sse_arithmetic_check ${PROJECT_SOURCE_DIR}/cmake/sse_arithmetic_check.cpp)
target_compile_options(sse_arithmetic_check PRIVATE $<TARGET_PROPERTY:morv_engine,COMPILE_OPTIONS>)
target_link_options(sse_arithmetic_check PRIVATE -static -mconsole)

# The head-related kernel table, resource "BINHIR" 121: MORV_KERNEL_TABLE is the
# file that the native generator (tools/kernel_table) wrote; scripts/build_windows.sh
# generates it and passes it here. Without it Virtual3D reports the table missing.
set(MORV_KERNEL_TABLE "" CACHE FILEPATH "The generated head-related kernel table for resource BINHIR 121")
if(NOT MORV_KERNEL_TABLE)
  message(WARNING "MORV_KERNEL_TABLE is not set: dsp_MORV.dll will lack the kernel table "
                  "(scripts/build_windows.sh generates it)")
endif()
if(MORV_KERNEL_TABLE)
  set(MORV_KERNEL_TABLE_COPY ${MORV_RESOURCE_DIR}/kernel_table.bin)
  add_custom_command(
    OUTPUT ${MORV_KERNEL_TABLE_COPY}
    COMMAND ${CMAKE_COMMAND} -E copy ${MORV_KERNEL_TABLE} ${MORV_KERNEL_TABLE_COPY}
    DEPENDS ${MORV_KERNEL_TABLE})
  set_property(SOURCE ${PROJECT_SOURCE_DIR}/resources/dsp_morv.rc APPEND PROPERTY
    COMPILE_DEFINITIONS MORV_KERNEL_TABLE)
  set_property(SOURCE ${PROJECT_SOURCE_DIR}/resources/dsp_morv.rc APPEND PROPERTY OBJECT_DEPENDS
    ${MORV_KERNEL_TABLE_COPY})
endif()
