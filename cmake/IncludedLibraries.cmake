# A test or a benchmark links the libraries of what it includes, so a library that leans on one
# it does not link fails to build here rather than hiding behind a test that links everything.

# The Qt Widgets headers' folder and the names in it: a widget header is known by its name.
get_target_property(qt_widget_dirs Qt6::Widgets INTERFACE_INCLUDE_DIRECTORIES)
list(FILTER qt_widget_dirs INCLUDE REGEX "QtWidgets$")
list(GET qt_widget_dirs 0 IGNIVEX_QTWIDGETS_DIR)
file(GLOB IGNIVEX_QTWIDGETS_HEADERS RELATIVE ${IGNIVEX_QTWIDGETS_DIR} ${IGNIVEX_QTWIDGETS_DIR}/*)

# The libraries the includes of `source` call for, into `out`: a project header
# "<folder>/..." its folder's library (ignivex_<folder>; the shell's folder is app/), a test
# support header "support/..." ignivex_test_support and whatever the header includes in turn,
# a header beside the file what it includes, a Qt Widgets header Qt6::Widgets, a platform or
# private Qt header ("qpa/", "private/") Qt6::GuiPrivate. Every file read is a configure
# dependency, so a new include relinks after the next build's configure.
function(ignivex_included_libraries out source)
    set(libs)
    set(pending ${source})
    set(seen)
    while(pending)
        list(POP_FRONT pending file)
        if(file IN_LIST seen)
            continue()
        endif()
        list(APPEND seen ${file})
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
        get_filename_component(dir ${file} DIRECTORY)
        file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
        foreach(line ${lines})
            if(line MATCHES "include[ \t]*\"([A-Za-z0-9_]+)/([^\"]+)\"")
                set(folder ${CMAKE_MATCH_1})
                if(folder STREQUAL "support")
                    set(header ${PROJECT_SOURCE_DIR}/tests/support/${CMAKE_MATCH_2})
                    if(NOT EXISTS ${header})
                        message(FATAL_ERROR "${file} includes support/${CMAKE_MATCH_2}, which tests/support/ does not hold")
                    endif()
                    list(APPEND pending ${header})
                    list(APPEND libs ignivex_test_support)
                    continue()
                endif()
                if(folder STREQUAL "app")
                    set(lib ignivex_shell)
                else()
                    set(lib ignivex_${folder})
                endif()
                if(NOT TARGET ${lib})
                    message(FATAL_ERROR "${file} includes from ${folder}/, which is no library (${lib})")
                endif()
                list(APPEND libs ${lib})
            elseif(line MATCHES "include[ \t]*\"([^/\"]+)\"")
                # A header beside the file (the benchmarks' own); a generated .moc is not there.
                if(EXISTS ${dir}/${CMAKE_MATCH_1})
                    list(APPEND pending ${dir}/${CMAKE_MATCH_1})
                endif()
            elseif(line MATCHES "include[ \t]*<(qpa|private)/")
                list(APPEND libs Qt6::GuiPrivate)
            elseif(line MATCHES "include[ \t]*<(QtWidgets/)?([A-Za-z0-9_]+)>"
                   AND CMAKE_MATCH_2 IN_LIST IGNIVEX_QTWIDGETS_HEADERS)
                list(APPEND libs Qt6::Widgets)
            endif()
        endforeach()
    endwhile()
    list(REMOVE_DUPLICATES libs)
    set(${out} ${libs} PARENT_SCOPE)
endfunction()

# How much of Qt's user interface `ARGN` bring along, through everything they link: "Widgets",
# "Gui" or "Core". Qt Test's headers are parsed differently for each (its QTEST_MAIN makes the
# application of the highest), so a precompiled header serves the tests of one of them only.
function(ignivex_qt_face out)
    set(face Core)
    set(pending ${ARGN})
    set(seen)
    while(pending)
        list(POP_FRONT pending lib)
        # Entries that are no target (generator expressions, system libraries) bring no Qt.
        if(lib IN_LIST seen OR NOT TARGET ${lib})
            continue()
        endif()
        list(APPEND seen ${lib})
        if(lib STREQUAL "Qt6::Widgets")
            set(face Widgets)
            break()
        elseif(lib STREQUAL "Qt6::Gui")
            set(face Gui)
        endif()
        get_target_property(next ${lib} INTERFACE_LINK_LIBRARIES)
        if(next)
            list(APPEND pending ${next})
        endif()
    endwhile()
    set(${out} ${face} PARENT_SCOPE)
endfunction()
