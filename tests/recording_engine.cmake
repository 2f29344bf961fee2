# The recording drawing engine used by the plug-in's tests.
if(NOT TARGET tav2_recording)
  include(${CMAKE_CURRENT_LIST_DIR}/recording_engine/CMakeLists.txt)
endif()
