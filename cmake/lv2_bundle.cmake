# The LV2 bundle morv.lv2/: the plug-in binary (the engine compiled again as
# position-independent code, only lv2_descriptor exported) and the Turtle
# files the generator writes from the module registry at build time.
# Built when Debian's lv2-dev is installed (scripts/install_deps.sh lv2).
# Sanitizer and fuzz builds leave it out: hosts cannot load an instrumented
# plug-in without the sanitizer's runtime.
if(MORV_SANITIZE OR MORV_TSAN OR MORV_FUZZ)
  return()
endif()
find_path(LV2_INCLUDE_DIR lv2/core/lv2.h)
if(NOT LV2_INCLUDE_DIR)
  message(STATUS "LV2 headers not found: the LV2 bundle is not built (scripts/install_deps.sh lv2)")
  return()
endif()

set(MORV_LV2_BUNDLE ${CMAKE_BINARY_DIR}/lv2/morv.lv2)
set(MORV_LV2_COMMON ${PROJECT_SOURCE_DIR}/lv2/plugin_catalog.cpp)

add_library(morv_engine_pic STATIC ${ENGINE_SOURCES})
set_target_properties(morv_engine_pic PROPERTIES POSITION_INDEPENDENT_CODE ON)
target_include_directories(morv_engine_pic PUBLIC ${PROJECT_SOURCE_DIR} ${LV2_INCLUDE_DIR})
target_include_directories(morv_engine_pic SYSTEM PUBLIC ${LIBRESAMPLE_INCLUDE_DIR})
target_link_libraries(morv_engine_pic PUBLIC morv_kernel_table_data ${LIBRESAMPLE_LIBRARY} m Threads::Threads)

add_library(morv_lv2 MODULE ${PROJECT_SOURCE_DIR}/lv2/lv2_entry.cpp ${PROJECT_SOURCE_DIR}/lv2/morv_plugin.cpp
            ${PROJECT_SOURCE_DIR}/lv2/block_runner.cpp ${MORV_LV2_COMMON})
target_link_libraries(morv_lv2 PRIVATE morv_engine_pic)
set_target_properties(morv_lv2 PROPERTIES PREFIX "" OUTPUT_NAME morv LIBRARY_OUTPUT_DIRECTORY ${MORV_LV2_BUNDLE}
  CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
target_link_options(morv_lv2 PRIVATE -Wl,--version-script=${PROJECT_SOURCE_DIR}/lv2/exports.map
  -Wl,--exclude-libs,ALL -Wl,--no-undefined)

add_executable(morv_lv2_ttl ${PROJECT_SOURCE_DIR}/lv2/ttl_generator.cpp ${MORV_LV2_COMMON})
target_link_libraries(morv_lv2_ttl PRIVATE morv_engine)
set(MORV_LV2_TTL ${MORV_LV2_BUNDLE}/manifest.ttl ${MORV_LV2_BUNDLE}/morv.ttl ${MORV_LV2_BUNDLE}/presets.ttl)
add_custom_command(OUTPUT ${MORV_LV2_TTL}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${MORV_LV2_BUNDLE}
  COMMAND morv_lv2_ttl ${MORV_LV2_BUNDLE} morv.so
  DEPENDS morv_lv2_ttl
  COMMENT "Writing the LV2 bundle's Turtle files from the module registry")
add_custom_target(morv_lv2_bundle ALL DEPENDS ${MORV_LV2_TTL} morv_lv2)

# A host of our own on lilv for what the stock tools cannot do: block sizes,
# control sweeps, the worker, state, allocations and the time of each run.
find_package(PkgConfig REQUIRED)
pkg_check_modules(LILV IMPORTED_TARGET lilv-0)
if(LILV_FOUND AND MORV_BUILD_TESTS)
  add_executable(morv_lv2_host ${PROJECT_SOURCE_DIR}/tests/lv2/lv2_test_host.cpp)
  target_link_libraries(morv_lv2_host PRIVATE PkgConfig::LILV PkgConfig::SNDFILE Threads::Threads)
  add_executable(morv_wav_compare ${PROJECT_SOURCE_DIR}/tests/lv2/wav_compare.cpp)
  target_link_libraries(morv_wav_compare PRIVATE PkgConfig::SNDFILE)
  add_test(NAME lv2.hosts COMMAND python3 ${PROJECT_SOURCE_DIR}/tests/lv2/run_lv2_tests.py ${CMAKE_BINARY_DIR})
  add_test(NAME lv2.pipewire COMMAND ${PROJECT_SOURCE_DIR}/tests/lv2/pipewire_filter_chain_test.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(lv2.hosts lv2.pipewire PROPERTIES SKIP_RETURN_CODE 77 RUN_SERIAL ON)
  set_tests_properties(lv2.hosts PROPERTIES TIMEOUT 1500)
  set_tests_properties(lv2.pipewire PROPERTIES TIMEOUT 300)
endif()
