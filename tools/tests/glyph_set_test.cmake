# Makes the glyph set twice more: both must equal the built glyph2.ani byte for byte, which
# must pass the generator's layout check and hold version 2, 55 frames and no maps.
foreach(run first second)
  execute_process(COMMAND ${PYTHON} ${SCRIPT} --font ${FONT} ${WORK}_${run}.ani RESULT_VARIABLE rc)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${BUILT} ${WORK}_${run}.ani RESULT_VARIABLE differs)
  if(NOT rc EQUAL 0 OR NOT differs EQUAL 0)
    message(FATAL_ERROR "generator run ${run} failed (${rc}) or differs from the built glyph set")
  endif()
endforeach()
execute_process(COMMAND ${PYTHON} ${SCRIPT} --check ${BUILT} RESULT_VARIABLE rc)
file(READ ${BUILT} header HEX OFFSET 4 LIMIT 7)
if(NOT rc EQUAL 0 OR NOT header MATCHES "^0237........00$")
  message(FATAL_ERROR "built glyph set fails the layout check (${rc}) or has header ${header}")
endif()
