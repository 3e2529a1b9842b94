# Writes OUT, a C++ source defining each NAME=FILE pair of INPUTS as a
# character array holding that file, so the program carries the viewer.
set(text "// Made by embed.cmake from the viewer's files; edit those instead.\n")
foreach(pair IN LISTS INPUTS)
  string(REPLACE "=" ";" parts "${pair}")
  list(GET parts 0 name)
  list(GET parts 1 file)
  file(READ "${file}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
  string(APPEND text "extern const char ${name}[];\nconst char ${name}[] = {${bytes} 0};\n")
endforeach()
file(WRITE "${OUT}" "${text}")
