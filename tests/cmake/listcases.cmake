# Run after each build of a test executable with CASES (see tests/CMakeLists.txt): asks the
# executable for its test functions and table rows (-datatags) and writes the ctest entries for
# the cases. A case "function:*" becomes one entry per row of that function; a function or row
# that no case covers becomes a failing entry, so that nothing in the executable silently stays
# out of the suite.
#
# Input (-D SETTINGS=file): EXECUTABLE, NAME, CASES, OUTPUT, RUNTIME_ROOT, ENVIRONMENT, TIMEOUT.
cmake_minimum_required(VERSION 3.25)
include(${SETTINGS})

set(ENV{QT_QPA_PLATFORM} offscreen)
set(ENV{XDG_RUNTIME_DIR} ${RUNTIME_ROOT})
# Listing must not fail on what a sanitizer build reports when the program ends.
set(ENV{ASAN_OPTIONS} detect_leaks=0)
file(MAKE_DIRECTORY ${RUNTIME_ROOT})
file(CHMOD ${RUNTIME_ROOT} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
execute_process(COMMAND ${EXECUTABLE} -datatags
    OUTPUT_VARIABLE listing RESULT_VARIABLE result ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${EXECUTABLE} -datatags failed (${result}):\n${errors}")
endif()

# Each line: "<class> <function>" or "<class> <function> <row tag>".
set(functions)
set(rows) # "function:tag"
string(REPLACE "\n" ";" lines "${listing}")
foreach(line IN LISTS lines)
    if(NOT line MATCHES "^[^ ]+ ([^ ]+)( (.*))?$")
        continue()
    endif()
    set(function ${CMAKE_MATCH_1})
    list(APPEND functions ${function})
    if(CMAKE_MATCH_2)
        list(APPEND rows "${function}:${CMAKE_MATCH_3}")
    endif()
endforeach()
list(REMOVE_DUPLICATES functions)

# The cases as run: "function:*" expanded to its rows.
set(entries)
foreach(case IN LISTS CASES)
    if(case MATCHES "^(.+):\\*$")
        set(function ${CMAKE_MATCH_1})
        set(found FALSE)
        foreach(row IN LISTS rows)
            string(FIND "${row}" "${function}:" at)
            if(at EQUAL 0)
                list(APPEND entries "${row}")
                set(found TRUE)
            endif()
        endforeach()
        if(NOT found)
            list(APPEND entries "${function}") # a table without rows runs as its function
        endif()
    else()
        list(APPEND entries "${case}")
    endif()
endforeach()

# What no entry covers: a function that is not named as a whole, or a row not named.
set(uncovered)
foreach(function IN LISTS functions)
    if("${function}" IN_LIST entries)
        continue()
    endif()
    set(functionRows)
    foreach(row IN LISTS rows)
        string(FIND "${row}" "${function}:" at)
        if(at EQUAL 0)
            list(APPEND functionRows "${row}")
        endif()
    endforeach()
    if(NOT functionRows)
        list(APPEND uncovered "${function}")
    endif()
    foreach(row IN LISTS functionRows)
        if(NOT "${row}" IN_LIST entries)
            list(APPEND uncovered "${row}")
        endif()
    endforeach()
endforeach()

set(text "# Written after the build of ${NAME} from its -datatags listing.\n")
foreach(entry IN LISTS entries)
    string(MAKE_C_IDENTIFIER "${entry}" suffix)
    set(test "${NAME}.${suffix}")
    set(runtime "${RUNTIME_ROOT}/${test}")
    file(MAKE_DIRECTORY ${runtime})
    file(CHMOD ${runtime} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
    string(APPEND text
        "add_test([==[${test}]==] [==[${EXECUTABLE}]==] [==[${entry}]==])\n"
        "set_tests_properties([==[${test}]==] PROPERTIES TIMEOUT ${TIMEOUT} ENVIRONMENT "
        "[==[${ENVIRONMENT};XDG_RUNTIME_DIR=${runtime};XDG_DATA_HOME=${runtime}/data;"
        "XDG_CONFIG_HOME=${runtime}/config]==])\n")
endforeach()
if(uncovered)
    list(JOIN uncovered "\", \"" named)
    string(APPEND text
        "add_test([==[${NAME}.unregistered]==] [==[${CMAKE_COMMAND}]==] -E echo "
        "[==[not run by ctest, add to the CASES of ${NAME} in tests/CMakeLists.txt: \"${named}\"]==])\n"
        "set_tests_properties([==[${NAME}.unregistered]==] PROPERTIES FAIL_REGULAR_EXPRESSION "
        "[==[not run by ctest]==])\n")
endif()
file(WRITE ${OUTPUT} "${text}")
