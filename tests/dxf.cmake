# The example board exported to DXF of every AutoCAD release, read back by
# ezdxf and libdxfrw and compared entity by entity with what the exporter
# asked the engine to draw (as the recording engine lists it).
# The recording engine (tests/recording_engine.cmake, built with the rest) is
# defined after this file is read, so only the modules are checked here.
if(NOT TARGET orvanta OR NOT TARGET quennet OR NOT TARGET korvex OR NOT TARGET tav2)
  return()
endif()

set(_dxf_script ${CMAKE_CURRENT_LIST_DIR}/readers/export_readback.py)
set(_dxf_board ${CMAKE_SOURCE_DIR}/examples/example-board.json)
set(_dxf_work ${CMAKE_BINARY_DIR}/tests/dxf-e2e)

foreach(_release V2.5 V2.6 R9 R10 R12 R13 R14)
  add_test(NAME dxf.e2e.${_release}
    COMMAND /usr/bin/python3 ${_dxf_script} ${ORVANTA_OUT} ${CMAKE_BINARY_DIR}/recording
            ${_dxf_board} ${_dxf_work} ${_release})
  set_tests_properties(dxf.e2e.${_release} PROPERTIES TIMEOUT 120 LABELS "e2e;dxf")
endforeach()
# Millimetres change every coordinate the engine is handed.
add_test(NAME dxf.e2e.R12.mm
  COMMAND /usr/bin/python3 ${_dxf_script} ${ORVANTA_OUT} ${CMAKE_BINARY_DIR}/recording
          ${_dxf_board} ${_dxf_work} R12 --units mm)
set_tests_properties(dxf.e2e.R12.mm PROPERTIES TIMEOUT 120 LABELS "e2e;dxf")
