# Who makes the program, as packages, software centres, the file's properties and Add/Remove Programs name it.
set(PLENVARO_DEVELOPER "Plenvaro developers" CACHE STRING "Who makes the program")
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
    plenvaro_test_environment(environment)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${environment}" TIMEOUT 300)
endfunction()

# What a test process needs in its environment: on Windows (run through Wine) the Qt and compiler
# runtime DLLs on WINEPATH, as an installed program has them beside it. Wine hands a Windows program
# none of the host's QT_* variables, but WINEQT_X it hands on as QT_X.
function(plenvaro_test_environment variable)
    set(environment "QT_QPA_PLATFORM=offscreen" "PLENVARO_BUILD_DIR=${CMAKE_BINARY_DIR}")
    if(WIN32)
        plenvaro_windows_runtime_dirs(dirs)
        list(TRANSFORM dirs PREPEND "Z:")
        list(JOIN dirs "\\;" winepath)
        list(APPEND environment "WINEPATH=${winepath}" "WINEQT_QPA_PLATFORM=offscreen")
    endif()
    set(${variable} "${environment}" PARENT_SCOPE)
endfunction()

# The compiler's runtime DLLs a Windows program of this build needs (libstdc++, libgcc_s, libwinpthread).
function(plenvaro_windows_runtime_dlls variable)
    get_property(dlls GLOBAL PROPERTY PLENVARO_WINDOWS_RUNTIME_DLLS)
    if(NOT dlls)
        foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
            execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                            OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
            if(NOT IS_ABSOLUTE "${found}" OR NOT EXISTS "${found}")
                message(FATAL_ERROR "${CMAKE_CXX_COMPILER} knows no ${dll}")
            endif()
            file(REAL_PATH "${found}" found)
            list(APPEND dlls "${found}")
        endforeach()
        set_property(GLOBAL PROPERTY PLENVARO_WINDOWS_RUNTIME_DLLS "${dlls}")
    endif()
    set(${variable} "${dlls}" PARENT_SCOPE)
endfunction()

# The folders of the Qt DLLs and of the compiler's runtime DLLs.
function(plenvaro_windows_runtime_dirs variable)
    plenvaro_windows_runtime_dlls(dlls)
    set(runtime "")
    foreach(dll IN LISTS dlls)
        get_filename_component(dir "${dll}" DIRECTORY)
        list(APPEND runtime "${dir}")
    endforeach()
    list(REMOVE_DUPLICATES runtime)
    set(dirs ${runtime})
    if(TARGET Qt6::Core)
        list(PREPEND dirs "$<TARGET_FILE_DIR:Qt6::Core>")
    endif()
    set(${variable} "${dirs}" PARENT_SCOPE)
endfunction()
