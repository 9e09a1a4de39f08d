# Writes the manual page of one LANGUAGE (en or zh_CN) from the bilingual SOURCE into OUTPUT.
# In the source, a line starting "@en " or "@zh_CN " belongs to that language only; every other
# line is shared. @VERSION@ becomes VERSION.
cmake_minimum_required(VERSION 3.21)
file(READ ${SOURCE} text)
string(REGEX MATCHALL "\n@[A-Za-z_]+ " tags "${text}")
list(REMOVE_DUPLICATES tags)
foreach(tag ${tags})
    if(tag STREQUAL "\n@${LANGUAGE} ")
        string(REPLACE "${tag}" "\n" text "${text}")
    else()
        string(REGEX REPLACE "${tag}[^\n]*" "" text "${text}")
    endif()
endforeach()
string(REPLACE "@VERSION@" "${VERSION}" text "${text}")
file(WRITE ${OUTPUT} "${text}")
