# The rules libraries of the stations (enrollcore, creditcore) hold no
# widget, no dialog and no window: a window reads its controls, calls the
# rules and shows the result, and the rules are tested without a widget
# application. Two checks keep it so:
#
#   desk_rules_library(<target>)  after the target's sources are known:
#     the build fails when one of its files includes a header of Qt Widgets
#     (or of a module built on it), of common/ui or of a station's windows;
#   desk_check_rules_linkage()    at the end of the top-level file:
#     configuring fails when a rules library or a test of the rules links
#     Qt Widgets or deskui, even through another library.

set(DESK_RULES_CHECK_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/CheckRulesIncludes.cmake)

# The names a file of the rules may not include, one a line, into `out_file`.
function(desk_write_forbidden_headers out_file)
    # The modules' headers lie side by side under one root.
    get_target_property(dirs Qt6::Widgets INTERFACE_INCLUDE_DIRECTORIES)
    set(root)
    foreach(dir IN LISTS dirs)
        if(dir MATCHES "^(.*)/QtWidgets$")
            set(root ${CMAKE_MATCH_1})
        endif()
    endforeach()
    if(NOT root)
        message(FATAL_ERROR "The headers of Qt Widgets were not found (${dirs})")
    endif()
    set(forbidden)
    foreach(module Widgets PrintSupport MultimediaWidgets OpenGLWidgets)
        if(IS_DIRECTORY ${root}/Qt${module})
            file(GLOB names LIST_DIRECTORIES false RELATIVE ${root}/Qt${module} ${root}/Qt${module}/*)
            list(APPEND forbidden ${names})
        endif()
    endforeach()
    # A few compatibility headers of Qt Widgets are the same as Qt Gui's.
    set(allowed)
    foreach(module Core Gui Sql)
        file(GLOB names LIST_DIRECTORIES false RELATIVE ${root}/Qt${module} ${root}/Qt${module}/*)
        list(APPEND allowed ${names})
    endforeach()
    # Headers of the UI kit and of the windows of both stations.
    foreach(dir common/ui enrolldesk/windows creditdesk/windows)
        file(GLOB names LIST_DIRECTORIES false RELATIVE ${PROJECT_SOURCE_DIR}/${dir}
             CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${dir}/*.h)
        list(APPEND forbidden ${names})
    endforeach()
    if(allowed)
        list(REMOVE_ITEM forbidden ${allowed})
    endif()
    list(REMOVE_DUPLICATES forbidden)
    list(SORT forbidden)
    string(REPLACE ";" "\n" text "${forbidden}")
    file(CONFIGURE OUTPUT ${out_file} CONTENT "${text}\n")
endfunction()

set(DESK_FORBIDDEN_HEADERS ${CMAKE_BINARY_DIR}/rules-forbidden-headers.txt)

function(desk_rules_library target)
    get_property(written GLOBAL PROPERTY DESK_FORBIDDEN_HEADERS_WRITTEN)
    if(NOT written)
        desk_write_forbidden_headers(${DESK_FORBIDDEN_HEADERS})
        set_property(GLOBAL PROPERTY DESK_FORBIDDEN_HEADERS_WRITTEN TRUE)
    endif()
    get_target_property(sources ${target} SOURCES)
    get_target_property(dir ${target} SOURCE_DIR)
    set(files)
    foreach(source IN LISTS sources)
        if(source MATCHES "\\.(h|cpp)$")
            if(IS_ABSOLUTE ${source})
                list(APPEND files ${source})
            else()
                list(APPEND files ${dir}/${source})
            endif()
        endif()
    endforeach()
    # Every .h and .cpp of the folder counts, listed in the target or not.
    file(GLOB folder_files CONFIGURE_DEPENDS ${dir}/*.h ${dir}/*.cpp)
    list(APPEND files ${folder_files})
    list(REMOVE_DUPLICATES files)
    string(REPLACE ";" "|" file_list "${files}")
    set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${target}-includes.checked)
    add_custom_command(OUTPUT ${stamp}
        COMMAND ${CMAKE_COMMAND} -DFILES=${file_list} -DFORBIDDEN=${DESK_FORBIDDEN_HEADERS}
                -P ${DESK_RULES_CHECK_SCRIPT}
        COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
        DEPENDS ${files} ${DESK_FORBIDDEN_HEADERS} ${DESK_RULES_CHECK_SCRIPT}
        COMMENT "Checking that ${target} includes no widget or window header"
        VERBATIM)
    add_custom_target(${target}_includes DEPENDS ${stamp})
    add_dependencies(${target} ${target}_includes)
    set_property(GLOBAL APPEND PROPERTY DESK_RULES_TARGETS ${target})
    set_property(GLOBAL APPEND PROPERTY DESK_RULES_FILES ${files})
endfunction()

# A test of the rules: it must stay as widget-free as the rules themselves.
function(desk_rules_test target)
    set_property(GLOBAL APPEND PROPERTY DESK_RULES_TARGETS ${target})
endfunction()

# Everything `item` links, directly or through other targets, into the
# variable `visited` of the caller.
function(desk_link_closure item visited_var)
    set(visited ${${visited_var}})
    string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" item "${item}")
    if(item MATCHES "^\\$<" OR item IN_LIST visited)
        return()
    endif()
    list(APPEND visited ${item})
    if(TARGET ${item})
        get_target_property(aliased ${item} ALIASED_TARGET)
        if(aliased)
            desk_link_closure(${aliased} visited)
        endif()
        get_target_property(type ${item} TYPE)
        set(links)
        if(NOT type STREQUAL "INTERFACE_LIBRARY")
            get_target_property(direct ${item} LINK_LIBRARIES)
            if(direct)
                list(APPEND links ${direct})
            endif()
        endif()
        get_target_property(interface ${item} INTERFACE_LINK_LIBRARIES)
        if(interface)
            list(APPEND links ${interface})
        endif()
        foreach(link IN LISTS links)
            desk_link_closure(${link} visited)
        endforeach()
    endif()
    set(${visited_var} ${visited} PARENT_SCOPE)
endfunction()

function(desk_check_rules_linkage)
    get_property(targets GLOBAL PROPERTY DESK_RULES_TARGETS)
    foreach(target IN LISTS targets)
        set(visited)
        desk_link_closure(${target} visited)
        list(REMOVE_ITEM visited ${target})
        foreach(widgets Qt6::Widgets Qt::Widgets deskui)
            if(widgets IN_LIST visited)
                message(FATAL_ERROR "${target} is a library or test of the rules but links ${widgets} "
                                    "(through: ${visited}). Rules hold no widgets; move the part that "
                                    "needs them to the windows.")
            endif()
        endforeach()
    endforeach()
endfunction()
