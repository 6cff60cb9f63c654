# The fuzz preset (VEXA_FUZZ): libFuzzer's coverage instrumentation, AddressSanitizer and
# UndefinedBehaviorSanitizer on every library, so that the targets under fuzz/ see into all the
# code they reach; the targets add libFuzzer's main themselves. Clang only. Only the targets are
# built: a shared module linked with --no-undefined cannot take the instrumentation without the
# runtime that the programs carry.
if(NOT VEXA_FUZZ)
    return()
endif()
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "VEXA_FUZZ needs clang (libFuzzer); configure with the fuzz preset")
endif()
add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
