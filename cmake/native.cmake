# Native build of the pure code: unit tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, and libFuzzer targets when the compiler is clang.
set(SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)

add_library(pure STATIC ${PURE_SOURCES} ${MAILER_PURE_SOURCES})
target_include_directories(pure PUBLIC ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tools)
target_compile_options(pure PRIVATE ${WARNINGS} ${SANITIZE} -g)
target_link_options(pure PUBLIC ${SANITIZE})
target_compile_definitions(pure PUBLIC MONITOR_MODEL="${MONITOR_MODEL}")

target_compile_options(gtest PRIVATE ${SANITIZE})
target_compile_options(gtest_main PRIVATE ${SANITIZE})

file(GLOB NATIVE_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/native/*.cpp)
if(NATIVE_TEST_SOURCES)
    add_executable(native_tests ${NATIVE_TEST_SOURCES})
    target_compile_options(native_tests PRIVATE ${WARNINGS} ${SANITIZE} -g)
    target_link_libraries(native_tests PRIVATE pure gtest_main)
    gtest_discover_tests(native_tests TEST_PREFIX "native." DISCOVERY_MODE PRE_TEST
                         PROPERTIES ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1;UBSAN_OPTIONS=print_stacktrace=1")
endif()

if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    file(GLOB FUZZ_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/fuzz/*.cpp)
    foreach(source ${FUZZ_SOURCES})
        get_filename_component(name ${source} NAME_WE)
        add_executable(${name} ${source} ${PURE_SOURCES} ${MAILER_PURE_SOURCES})
        target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tools)
        target_compile_definitions(${name} PRIVATE MONITOR_MODEL="${MONITOR_MODEL}")
        target_compile_options(${name} PRIVATE ${WARNINGS} -g -fsanitize=fuzzer,address,undefined)
        target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
        # A few seconds of each fuzzer belong to the test run.
        add_test(NAME fuzz.${name} COMMAND ${name} -max_total_time=5 -rss_limit_mb=2048)
    endforeach()
endif()
