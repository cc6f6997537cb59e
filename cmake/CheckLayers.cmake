cmake_minimum_required(VERSION 3.25)
# Fails the build when a source includes a header of a layer it may not use.
#   LAYER    the layer the sources belong to
#   ALLOWED  the folders its includes may name, '|'-separated ("widgets" for any */widgets/)
#   SOURCES  the files, '|'-separated
#   STAMP    written when all is well
string(REPLACE "|" ";" allowed "${ALLOWED}")
string(REPLACE "|" ";" sources "${SOURCES}")
set(failures "")
foreach(source IN LISTS sources)
    file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"[A-Za-z0-9_]+/")
    foreach(line IN LISTS includes)
        string(REGEX MATCH "\"([A-Za-z0-9_]+)/(widgets/)?" found "${line}")
        set(folder "${CMAKE_MATCH_1}")
        if(CMAKE_MATCH_2)
            set(folder widgets)
        endif()
        if(NOT folder IN_LIST allowed)
            string(STRIP "${line}" line)
            string(APPEND failures "\n  ${source}: ${line}")
        endif()
    endforeach()
endforeach()
if(failures)
    message(FATAL_ERROR "The ${LAYER} layer may use only ${ALLOWED}; these includes reach past it:"
                        "${failures}")
endif()
file(WRITE "${STAMP}" "")
