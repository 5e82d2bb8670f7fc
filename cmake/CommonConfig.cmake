# The program's name on the desktop: its desktop entry, software-centre data and the window's application id.
set(PLENVARO_APP_ID "org.plenvaro.Plenvaro")

# Compile settings every target of the project links.
add_library(plenvaro_common INTERFACE)
target_compile_features(plenvaro_common INTERFACE cxx_std_20)
if(MSVC)
    target_compile_options(plenvaro_common INTERFACE /W4 /utf-8 $<$<BOOL:${PLENVARO_WERROR}>:/WX>)
else()
    target_compile_options(plenvaro_common INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                                     -Wold-style-cast -Wcast-align
                                                     $<$<BOOL:${PLENVARO_WERROR}>:-Werror>)
endif()
target_compile_definitions(plenvaro_common INTERFACE
    QT_NO_CAST_FROM_ASCII QT_NO_CONTEXTLESS_CONNECT QT_NO_KEYWORDS QT_NO_FOREACH
    PLENVARO_VERSION="${PROJECT_VERSION}"
    PLENVARO_APP_ID="${PLENVARO_APP_ID}"
    PLENVARO_DEFAULT_SERVER="${PLENVARO_DEFAULT_SERVER}")

# AddressSanitizer and UndefinedBehaviorSanitizer on everything the project builds; scripts/test runs
# the tests once more this way. Undefined behaviour aborts instead of printing and going on, so it
# fails the test that ran into it.
option(PLENVARO_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(PLENVARO_SANITIZE)
    if(MSVC)
        message(FATAL_ERROR "PLENVARO_SANITIZE needs gcc or clang")
    endif()
    target_compile_options(plenvaro_common INTERFACE -fsanitize=address,undefined -fno-sanitize-recover=undefined
                                                     -fno-omit-frame-pointer)
    target_link_options(plenvaro_common INTERFACE -fsanitize=address,undefined)
endif()

# Tests: one executable per component. GUI tests run on the offscreen platform, so no display is needed.
function(plenvaro_add_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE plenvaro_common ${ARG_LIBS})
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;PLENVARO_BUILD_DIR=${CMAKE_BINARY_DIR}"
        TIMEOUT 300)
endfunction()
