# End-to-end tests of the export run: orvanta exports boards through the
# plug-in and the engine; ezdxf and libdxfrw read the files back and must
# find what the emitters wrote (taken from the same export through the
# recording engine).
if(NOT TARGET orvanta OR NOT TARGET quennet OR NOT TARGET tav2 OR NOT TARGET korvex)
  return()
endif()
if(NOT TARGET tav2_recording)
  include(${CMAKE_CURRENT_LIST_DIR}/recording_engine/CMakeLists.txt)
endif()
foreach(case readers engine_order empty_board extents_at_zero hidden_hole_layers engine_missing
    component_via hostile_documents hostile_environments)
  add_test(NAME export_${case}
    COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/export/export_test.py ${case}
      --bin ${ORVANTA_OUT}
      --recording ${CMAKE_BINARY_DIR}/recording
      --readers ${CMAKE_CURRENT_LIST_DIR}/readers
      --work ${CMAKE_BINARY_DIR}/export-tests/${case})
  set_tests_properties(export_${case} PROPERTIES LABELS "e2e" TIMEOUT 300)
endforeach()
