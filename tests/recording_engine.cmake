# The recording drawing engine used by the plug-in's tests.
include(${CMAKE_CURRENT_LIST_DIR}/recording_engine/CMakeLists.txt)
