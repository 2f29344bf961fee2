# Byte identity of the example board's exports with the golden files in
# tests/golden/example-board/ (regenerate: see tests/golden/golden_test.py).
if(NOT TARGET orvanta OR NOT TARGET quennet OR NOT TARGET tav2 OR NOT TARGET korvex)
  return()
endif()
add_test(NAME export_golden
  COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/golden/golden_test.py --bin ${ORVANTA_OUT})
set_tests_properties(export_golden PROPERTIES LABELS "e2e" TIMEOUT 300)
