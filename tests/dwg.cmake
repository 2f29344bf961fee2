# The example board exported as DWG of every release in the option
# combinations that change the drawing, each read back by LibreDWG (and
# libdxfrw for R13 and R14; our structure and CRC check for the older
# releases) and compared with what ezdxf reads from the DXF of the same
# export. AutoCAD's own drawings of 2.6, R9, R10 and R11 go through the same
# reader and checks, and damaged R11 files must be reported.
if(TARGET orvanta)
  set(DWG_CHECK ${CMAKE_CURRENT_LIST_DIR}/readers/dwg_export_check.sh)
  set(DWG_BOARD ${CMAKE_SOURCE_DIR}/examples/example-board.json)
  # name=options, the options separated by commas.
  set(DWG_COMBOS
      "defaults="
      "mm_primitives=--units,mm,--components,primitives"
      "hole_layers_zero_width=--holes,layers,--zero-width,all,--ends,square"
      "pad_holes_visible=--holes,pads,--layers,visible,--zero-width,selected")
  foreach(release V2.5 V2.6 R9 R10 R12 R13 R14)
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
  add_test(NAME dwg_pre13_damage_reported
           COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/readers/dwg_pre13_damage.sh
                   $<TARGET_FILE:orvanta> ${DWG_BOARD} ${CMAKE_CURRENT_BINARY_DIR}/dwg/damage)
  set_tests_properties(dwg_pre13_damage_reported PROPERTIES TIMEOUT 300)
endif()
# AutoCAD's drawings lie beside the project, not in it; without them these
# tests are not defined.
set(DWG_SAMPLES ${CMAKE_SOURCE_DIR}/../shared/reference/cad-samples)
foreach(sample r2.6_entities r9_entities r10_entities r11_entities-2d)
  if(NOT EXISTS ${DWG_SAMPLES}/${sample}.dwg)
    continue()
  endif()
  add_test(NAME dwg_reference_${sample}
           COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/readers/dwg_reference_check.sh
                   ${DWG_SAMPLES}/${sample}.dwg ${DWG_SAMPLES}/${sample}.dxf
                   ${CMAKE_CURRENT_BINARY_DIR}/dwg/reference_${sample})
  set_tests_properties(dwg_reference_${sample} PROPERTIES TIMEOUT 120)
endforeach()
