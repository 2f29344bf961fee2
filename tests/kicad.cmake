# Real KiCad boards: KiCad 6 demo boards of Debian's kicad-demos package and
# small public KiCad 7 and 8 boards (tests/kicad/boards, see the README
# there), exported in every release and format and read back; positions
# against the board, copper against KiCad's own DXF plot.
if(NOT TARGET orvanta OR NOT TARGET quennet OR NOT TARGET tav2 OR NOT TARGET korvex)
  return()
endif()
set(_kicad_demos /usr/share/kicad/demos)
set(_kicad_boards
  "ecc83|${_kicad_demos}/ecc83/ecc83-pp.kicad_pcb|"
  "custom_pads|${_kicad_demos}/custom_pads_test/custom_pads_test.kicad_pcb|"
  "pic_programmer|${_kicad_demos}/pic_programmer/pic_programmer.kicad_pcb|--quick"
  "coldfire|${_kicad_demos}/kit-dev-coldfire-xilinx_5213/kit-dev-coldfire-xilinx_5213.kicad_pcb|--quick"
  "kicad7_basic|${CMAKE_CURRENT_LIST_DIR}/kicad/boards/gerber2ems-basic.kicad_pcb|"
  "kicad7_real|${CMAKE_CURRENT_LIST_DIR}/kicad/boards/gerber2ems-real.kicad_pcb|"
  "kicad8_project|${CMAKE_CURRENT_LIST_DIR}/kicad/boards/kicad-make-project-with-kicad-lib.kicad_pcb|")
foreach(_entry ${_kicad_boards})
  string(REPLACE "|" ";" _parts "${_entry}")
  list(GET _parts 0 _name)
  list(GET _parts 1 _board)
  list(GET _parts 2 _extra)
  add_test(NAME kicad.${_name}
    COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/kicad/kicad_test.py ${_board} ${_extra}
      --bin ${ORVANTA_OUT} --readers ${CMAKE_CURRENT_LIST_DIR}/readers
      --work ${CMAKE_BINARY_DIR}/kicad-tests/${_name})
  set_tests_properties(kicad.${_name} PROPERTIES LABELS "e2e;kicad" TIMEOUT 900)
endforeach()
