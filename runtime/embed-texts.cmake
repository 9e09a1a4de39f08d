# Writes OUTPUT, a C++ fragment that holds each of FILES (comma-separated, in SOURCE_DIR) byte for
# byte as a string constant, and the table kRuntimeFiles of their names and texts.
# Usage: cmake -DSOURCE_DIR=DIR -DFILES=a,b -DOUTPUT=FILE -P embed-texts.cmake
string(REPLACE "," ";" files "${FILES}")
set(text "// Made by embed-texts.cmake from the files of runtime/; edits here are lost.\n")
set(table "")
set(index 0)
foreach(file ${files})
    file(READ "${SOURCE_DIR}/${file}" hex HEX)
    # Every byte as an escape, 32 to a line of adjacent literals.
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "\\\\x\\1" escaped "${hex}")
    string(REGEX REPLACE "((\\\\x[0-9a-f][0-9a-f]){32})" "\\1\"\n    \"" escaped "${escaped}")
    string(APPEND text "constexpr char kRuntimeText${index}[] =\n    \"${escaped}\";\n")
    string(APPEND table
           "    {\"${file}\", {kRuntimeText${index}, sizeof kRuntimeText${index} - 1}},\n")
    math(EXPR index "${index} + 1")
endforeach()
string(APPEND text "constexpr RuntimeFile kRuntimeFiles[] = {\n${table}};\n")
# Rewritten only when it changes, so that what includes it is not rebuilt for nothing.
file(CONFIGURE OUTPUT "${OUTPUT}" CONTENT "${text}" @ONLY)
