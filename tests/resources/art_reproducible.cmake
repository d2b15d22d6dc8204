# Draws the artwork afresh into SCRATCH and compares it with the committed files.
#   cmake -DPYTHON=python3 -DRESOURCES=<resources dir> -DSCRATCH=<dir> -P art_reproducible.cmake
file(REMOVE_RECURSE ${SCRATCH})
execute_process(COMMAND ${PYTHON} ${RESOURCES}/make_art.py ${SCRATCH}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "make_art.py failed: ${result}")
endif()
foreach(name help_picture.bmp icon.ico icon.png)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files
    ${RESOURCES}/${name} ${SCRATCH}/${name} RESULT_VARIABLE differs)
  if(differs)
    message(FATAL_ERROR "${name}: make_art.py draws something else than the committed file")
  endif()
  message(STATUS "${name}: the same as drawn")
endforeach()
