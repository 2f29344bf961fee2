# Every board object reaches the drawing: the example board exported to DXF R12
# in every combination of the options that change what the converters write,
# read back by ezdxf and libdxfrw and checked against the board document.
if(NOT TARGET orvanta OR NOT TARGET quennet OR NOT TARGET korvex OR NOT TARGET tav2)
  return()
endif()

set(_conv_check ${CMAKE_CURRENT_LIST_DIR}/conversion/check_export.py)
set(_conv_board ${CMAKE_SOURCE_DIR}/examples/example-board.json)
set(_conv_readers ${CMAKE_CURRENT_LIST_DIR}/readers)
set(_conv_work ${CMAKE_BINARY_DIR}/tests/conversion-e2e)

foreach(_holes off layers pads)
  foreach(_components blocks primitives)
    foreach(_zero none selected all)
      # Hairlines have no ends to round.
      if(_zero STREQUAL "all")
        set(_ends_list round)
      else()
        set(_ends_list round square)
      endif()
      foreach(_ends ${_ends_list})
        set(_name conversion.e2e.holes-${_holes}.${_components}.zero-${_zero}.ends-${_ends})
        add_test(NAME ${_name}
          COMMAND /usr/bin/python3 ${_conv_check} $<TARGET_FILE:orvanta> ${_conv_board}
                  ${_conv_readers} ${_conv_work}
                  --holes ${_holes} --components ${_components} --zero-width ${_zero}
                  --ends ${_ends})
        set_tests_properties(${_name} PROPERTIES TIMEOUT 120 LABELS "e2e;conversion")
      endforeach()
    endforeach()
  endforeach()
endforeach()
