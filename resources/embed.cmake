# Turns files into a C++ source of byte arrays, one accessor per file.
#   cmake -DOUTPUT=stored_data.cpp -DBLOCKS="name=file;name=file" -P embed.cmake
# Each name becomes `StoredBlock name()` of resources/stored_data.h.

set(source "// Made by resources/embed.cmake from the files of resources/; do not edit.\n")
string(APPEND source "#include \"resources/stored_data.h\"\n\nnamespace {\n")
set(accessors "")
foreach(block IN LISTS BLOCKS)
  string(REGEX MATCH "^([A-Za-z_][A-Za-z0-9_]*)=(.+)$" matched "${block}")
  if(NOT matched)
    message(FATAL_ERROR "embed.cmake: not name=file: ${block}")
  endif()
  set(name ${CMAKE_MATCH_1})
  set(file ${CMAKE_MATCH_2})
  file(READ ${file} hex HEX)
  if(hex STREQUAL "")
    message(FATAL_ERROR "embed.cmake: ${file} is empty")
  endif()
  # 16 bytes per line, each as 0xNN (CMake's expressions know no {n}).
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REPEAT "0x[0-9a-f][0-9a-f]," 16 line_of_bytes)
  string(REGEX REPLACE "(${line_of_bytes})" "\\1\n    " bytes "${bytes}")
  string(APPEND source "const unsigned char ${name}Bytes[] = {\n    ${bytes}\n};\n")
  string(APPEND accessors
    "StoredBlock ${name}() { return {${name}Bytes, sizeof ${name}Bytes}; }\n")
endforeach()
string(APPEND source "}  // namespace\n\n${accessors}")

# Rewritten only when it changes, so that an unchanged result compiles nothing anew.
if(EXISTS ${OUTPUT})
  file(READ ${OUTPUT} previous)
endif()
if(NOT previous STREQUAL source)
  file(WRITE ${OUTPUT} "${source}")
endif()
