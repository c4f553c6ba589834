# cmake -DFILES=<a|b|...> -DFORBIDDEN=<file of header names> -P CheckRulesIncludes.cmake
# Fails naming every include of a forbidden header: a header of Qt Widgets
# (or a module built on it), of common/ui, of a station's windows, or a
# form made from a .ui file.
cmake_minimum_required(VERSION 3.25)
if(NOT DEFINED FILES OR NOT DEFINED FORBIDDEN)
    message(FATAL_ERROR "usage: cmake -DFILES=<a|b|...> -DFORBIDDEN=<list file> -P ${CMAKE_SCRIPT_MODE_FILE}")
endif()
file(STRINGS ${FORBIDDEN} forbidden)
string(REPLACE "|" ";" files "${FILES}")
set(found)
foreach(path IN LISTS files)
    file(STRINGS ${path} lines REGEX "^[ \t]*#[ \t]*include")
    foreach(line IN LISTS lines)
        if(NOT line MATCHES "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"]")
            continue()
        endif()
        set(header ${CMAKE_MATCH_1})
        get_filename_component(name ${header} NAME)
        if(header MATCHES "^Qt(Widgets|PrintSupport|MultimediaWidgets|OpenGLWidgets)(/|$)"
           OR name MATCHES "^ui_.*\\.h$" OR name IN_LIST forbidden)
            list(APPEND found "${path}: ${header}")
        endif()
    endforeach()
endforeach()
if(found)
    list(JOIN found "\n  " text)
    message(FATAL_ERROR "The rules include widget or window headers:\n  ${text}\n"
                        "Rules hold no widgets, dialogs or windows; move that part to the windows.")
endif()
