# The fuzz and ThreadSanitizer builds. Both need Clang: libFuzzer ships with
# it, and ThreadSanitizer is run with Clang's runtime.
if((MORV_FUZZ OR MORV_TSAN) AND NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "MORV_FUZZ and MORV_TSAN need Clang (-DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang)")
endif()
if(MORV_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
if(MORV_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# One executable per tests/fuzz/NAME_fuzzer.cpp, named fuzz_NAME.
function(add_fuzz_targets)
  # The DSP loops compare counters against bounds in every iteration; tracing
  # those comparisons took a third of each run and guides nothing.
  target_compile_options(morv_engine PRIVATE -fno-sanitize-coverage=trace-cmp)
  file(GLOB fuzzers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/fuzz/*_fuzzer.cpp)
  foreach(source ${fuzzers})
    get_filename_component(name ${source} NAME_WE)
    string(REGEX REPLACE "_fuzzer$" "" name ${name})
    add_executable(fuzz_${name} ${source})
    target_link_libraries(fuzz_${name} PRIVATE morv_tool)
    target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  endforeach()
endfunction()

# The stress tests of the audio and control threads, on their own.
function(add_thread_stress_test)
  find_package(GTest REQUIRED)
  include(GoogleTest)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/*_stress_test.cpp)
  add_executable(morv_stress_tests ${sources})
  target_link_libraries(morv_stress_tests PRIVATE morv_engine GTest::gtest GTest::gtest_main)
  gtest_discover_tests(morv_stress_tests DISCOVERY_TIMEOUT 60)
endfunction()
