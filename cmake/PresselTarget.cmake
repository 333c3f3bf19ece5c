# SPDX-License-Identifier: GPL-3.0-or-later
# Options every Pressel target shares. Targets set their own flags; nothing global.
set(PRESSEL_SANITIZE "" CACHE STRING "Sanitizers for all Pressel targets, e.g. address,undefined")

function(pressel_target_defaults target)
    target_compile_features(${target} PUBLIC cxx_std_23)
    set_target_properties(${target} PROPERTIES CXX_EXTENSIONS OFF)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
    target_compile_definitions(${target} PRIVATE
        QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_URL_CAST_FROM_STRING
        QT_NO_NARROWING_CONVERSIONS_IN_CONNECT QT_USE_QSTRINGBUILDER)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 19)
        # libstdc++ 12 only offers <expected> when concepts report the C++20 level; clang 16
        # implements what it needs (conditionally trivial special members) but reports less.
        target_compile_options(${target} PUBLIC -D__cpp_concepts=202002L -Wno-macro-redefined)
    endif()
    if(PRESSEL_SANITIZE)
        set(compile_sanitizers ${PRESSEL_SANITIZE})
        if(PRESSEL_FUZZ)
            # Coverage for the fuzzer in every library; only the harness links libFuzzer's main.
            set(compile_sanitizers ${PRESSEL_SANITIZE},fuzzer-no-link)
        endif()
        target_compile_options(${target} PRIVATE -fsanitize=${compile_sanitizers} -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
        target_link_options(${target} PRIVATE -fsanitize=${PRESSEL_SANITIZE})
    endif()
endfunction()
