# Options every Pressel target shares. Targets set their own flags; nothing global.
set(PRESSEL_SANITIZE "" CACHE STRING "Sanitizers for all Pressel targets, e.g. address,undefined")

function(pressel_target_defaults target)
    target_compile_features(${target} PUBLIC cxx_std_23)
    set_target_properties(${target} PROPERTIES CXX_EXTENSIONS OFF)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
    target_compile_definitions(${target} PRIVATE
        QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_URL_CAST_FROM_STRING
        QT_NO_NARROWING_CONVERSIONS_IN_CONNECT QT_USE_QSTRINGBUILDER)
    if(PRESSEL_SANITIZE)
        target_compile_options(${target} PRIVATE -fsanitize=${PRESSEL_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
        target_link_options(${target} PRIVATE -fsanitize=${PRESSEL_SANITIZE})
    endif()
endfunction()
