# Turns raw binary files into a C++ source of constant byte arrays.
# Usage: cmake -DOUTPUT=<file.cpp> -DENTRIES="<symbol>=<file>;..." -P embed_raw.cmake
# Each symbol becomes `extern const unsigned char <symbol>[]` and
# `extern const std::size_t <symbol>Length` in namespace quelto.
set(code "// Generated at build time from the files under res/; do not edit.\n#include <cstddef>\n\nnamespace quelto {\n")
foreach(entry ${ENTRIES})
  string(REPLACE "=" ";" parts "${entry}")
  list(GET parts 0 symbol)
  list(GET parts 1 file)
  file(READ "${file}" hex HEX)
  string(LENGTH "${hex}" hexLength)
  math(EXPR length "${hexLength} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n" bytes "${bytes}")
  string(APPEND code "extern const unsigned char ${symbol}[];\nextern const std::size_t ${symbol}Length;\n")
  string(APPEND code "const unsigned char ${symbol}[] = {\n${bytes}\n};\nconst std::size_t ${symbol}Length = ${length};\n\n")
endforeach()
string(APPEND code "}  // namespace quelto\n")
file(WRITE "${OUTPUT}.tmp" "${code}")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
