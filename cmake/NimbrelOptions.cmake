# One interface target carries the warning flags and Qt strictness defines for every target.
add_library(nimbrel_options INTERFACE)
target_compile_options(nimbrel_options INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow
    $<$<BOOL:${NIMBREL_WERROR}>:-Werror>)
target_compile_definitions(nimbrel_options INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_NO_CONTEXTLESS_CONNECT
    QT_NO_KEYWORDS)

if(NIMBREL_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()

# The endpoint's receiving thread and its hand-over, checked in a tree of their own (tsan preset).
option(NIMBREL_TSAN "Build with ThreadSanitizer" OFF)
if(NIMBREL_TSAN)
    if(NIMBREL_SANITIZE)
        message(FATAL_ERROR "NIMBREL_TSAN and NIMBREL_SANITIZE cannot be combined")
    endif()
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
endif()
