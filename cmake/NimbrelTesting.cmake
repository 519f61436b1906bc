# nimbrel_add_test(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>] [TIMEOUT <s>])
# Builds one Qt Test executable and registers it with CTest. GUI tests run under the offscreen
# platform, set here so that no test has to remember it.
function(nimbrel_add_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt6::Test nimbrel_options)
    # Test tables read better with plain string literals.
    target_compile_options(${name} PRIVATE -UQT_NO_CAST_FROM_ASCII)
    add_test(NAME ${name} COMMAND ${name})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_QPA_FONTDIR=/usr/share/fonts/truetype/dejavu"
        LABELS "${ARG_LABELS}"
        TIMEOUT ${ARG_TIMEOUT}
        SKIP_RETURN_CODE 77)
endfunction()
