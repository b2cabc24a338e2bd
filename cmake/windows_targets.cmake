# Windows targets: the portable engine compiled for PE32. The plug-in DLL and
# its test host are added here as they are built.
add_library(morv_engine STATIC ${ENGINE_SOURCES})
target_include_directories(morv_engine PUBLIC ${PROJECT_SOURCE_DIR})
