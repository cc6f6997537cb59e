cmake_minimum_required(VERSION 3.25)
# Fails the build when a source includes a header of a layer it may not use.
#   LAYER    the layer the sources belong to
#   ALLOWED  the folders its includes may name, '|'-separated
#   FOLDERS  every layer's folder, '|'-separated
#   SOURCES  the files, '|'-separated
#   STAMP    written when all is well
# Every spelling counts: "app/App.h", <app/App.h> and "../app/App.h" all name the app folder.
string(REPLACE "|" ";" allowed "${ALLOWED}")
string(REPLACE "|" ";" folders "${FOLDERS}")
string(REPLACE "|" ";" sources "${SOURCES}")
set(failures "")
foreach(source IN LISTS sources)
    file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
    foreach(line IN LISTS includes)
        string(REGEX MATCH "[\"<]((\\.\\./|\\./)*)(src/)?([A-Za-z0-9_]+)/" found "${line}")
        set(folder "${CMAKE_MATCH_4}")
        if(NOT found OR NOT folder IN_LIST folders OR folder IN_LIST allowed)
            continue()
        endif()
        string(STRIP "${line}" line)
        string(APPEND failures "\n  ${source}: ${line}")
    endforeach()
endforeach()
if(failures)
    message(FATAL_ERROR "The ${LAYER} layer may use only ${ALLOWED}; these includes reach past it:"
                        "${failures}")
endif()
file(WRITE "${STAMP}" "")
