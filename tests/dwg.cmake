# The example board exported as DWG R13 and R14 in the option combinations
# that change the drawing, each read back by LibreDWG and libdxfrw and
# compared with what ezdxf reads from the DXF of the same export.
if(TARGET orvanta)
  set(DWG_CHECK ${CMAKE_CURRENT_LIST_DIR}/readers/dwg_export_check.sh)
  set(DWG_BOARD ${CMAKE_SOURCE_DIR}/examples/example-board.json)
  # name=options, the options separated by commas.
  set(DWG_COMBOS
      "defaults="
      "mm_primitives=--units,mm,--components,primitives"
      "hole_layers_zero_width=--holes,layers,--zero-width,all,--ends,square"
      "pad_holes_visible=--holes,pads,--layers,visible,--zero-width,selected")
  foreach(release R13 R14)
    foreach(combo ${DWG_COMBOS})
      string(FIND "${combo}" "=" eq)
      string(SUBSTRING "${combo}" 0 ${eq} name)
      math(EXPR rest "${eq} + 1")
      string(SUBSTRING "${combo}" ${rest} -1 options)
      string(REPLACE "," ";" options "${options}")
      add_test(NAME dwg_export_${release}_${name}
               COMMAND sh ${DWG_CHECK} $<TARGET_FILE:orvanta> ${DWG_BOARD}
                       ${CMAKE_CURRENT_BINARY_DIR}/dwg/${release}_${name} ${release} ${options})
      set_tests_properties(dwg_export_${release}_${name} PROPERTIES TIMEOUT 300)
    endforeach()
  endforeach()
endif()
