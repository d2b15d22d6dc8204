# Small helpers shared by the folders' CMakeLists.

# vellumite_library(NAME SOURCES... [LINK libs...]): a static library of our code.
function(vellumite_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINK" ${ARGN})
  if(NOT ARG_SOURCES)
    # A folder whose code has not been written yet still gives a library.
    set(ARG_SOURCES ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
    file(WRITE ${ARG_SOURCES} "")
  endif()
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${VELLUMITE_WARNINGS})
  if(ARG_LINK)
    target_link_libraries(${name} PUBLIC ${ARG_LINK})
  endif()
endfunction()
