# Cross-build of the monitor DLL, its programs and the Wine tests.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(STATIC_RUNTIME -static -static-libgcc -static-libstdc++)
set(WIN_LIBS ws2_32 wsock32 winspool mpr advapi32 user32 gdi32 kernel32)
add_compile_definitions(WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601 WINVER=0x0601 MONITOR_MODEL="${MONITOR_MODEL}")

# Resources: the script is kept in UTF-8 and turned into code page 932 bytes,
# which the script declares, before the resource compiler reads it.
file(GLOB RC_INPUTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*.rc.in)
set(RC_OUTPUTS)
foreach(input ${RC_INPUTS})
    get_filename_component(name ${input} NAME_WE)
    set(output ${CMAKE_BINARY_DIR}/resources/${name}.rc)
    add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/resources
        COMMAND iconv -f UTF-8 -t CP932 ${input} -o ${output}
        DEPENDS ${input} VERBATIM)
    list(APPEND RC_OUTPUTS ${output})
endforeach()
# --use-temp-file: windres then runs the preprocessor without a shell, which
# would otherwise strip the quotes of the MONITOR_MODEL string define.
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} --use-temp-file -c 932 -I${CMAKE_SOURCE_DIR}/resources -I${CMAKE_SOURCE_DIR}/src -DMONITOR_MODEL=\\\"${MONITOR_MODEL}\\\"")

# Everything of the monitor but its DLL entry, shared by the DLL and the tests.
file(GLOB_RECURSE CORE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/*.cpp)
list(REMOVE_ITEM CORE_SOURCES ${CMAKE_SOURCE_DIR}/src/monitor/dll_main.cpp)
add_library(monitor_core OBJECT ${CORE_SOURCES})
target_include_directories(monitor_core PUBLIC ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/resources)
target_compile_options(monitor_core PRIVATE ${WARNINGS})

add_library(monitor_resources OBJECT ${RC_OUTPUTS})

add_library(monitor SHARED ${CMAKE_SOURCE_DIR}/src/monitor/dll_main.cpp ${CMAKE_SOURCE_DIR}/src/monitor/monitor.def
            $<TARGET_OBJECTS:monitor_core> $<TARGET_OBJECTS:monitor_resources>)
target_include_directories(monitor PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_compile_options(monitor PRIVATE ${WARNINGS})
set_target_properties(monitor PROPERTIES PREFIX "" OUTPUT_NAME "${MONITOR_MODEL}mon" SUFFIX ".dll")
target_link_options(monitor PRIVATE ${STATIC_RUNTIME} -Wl,--kill-at)
# i686: the .def names the exports without their stdcall decoration.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_link_options(monitor PRIVATE -Wl,--enable-stdcall-fixup)
endif()
target_link_libraries(monitor PRIVATE ${WIN_LIBS})

# Catalogues beside the DLL: English, and a Japanese set in code page 932.
foreach(lang en ja)
    foreach(file CRVMES.INI CRVDLG.INI)
        set(input ${CMAKE_SOURCE_DIR}/resources/catalogues/${lang}/${file})
        set(output ${CMAKE_BINARY_DIR}/bin/catalogues/${lang}/${file})
        if(lang STREQUAL "ja")
            add_custom_command(OUTPUT ${output}
                COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/bin/catalogues/${lang}
                COMMAND iconv -f UTF-8 -t CP932 ${input} -o ${output} DEPENDS ${input} VERBATIM)
        else()
            add_custom_command(OUTPUT ${output}
                COMMAND ${CMAKE_COMMAND} -E copy ${input} ${output} DEPENDS ${input} VERBATIM)
        endif()
        list(APPEND CATALOGUE_OUTPUTS ${output})
    endforeach()
endforeach()
add_custom_target(catalogues ALL DEPENDS ${CATALOGUE_OUTPUTS})

# The spooler stand-in, shared by the spooler host and the tests.
file(GLOB STANDIN_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/spoolhost/standin/*.cpp)
add_library(spooler_standin STATIC ${STANDIN_SOURCES} ${CMAKE_SOURCE_DIR}/src/monitor/monitor_name.cpp)
target_include_directories(spooler_standin PUBLIC ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tools/spoolhost)
target_compile_options(spooler_standin PRIVATE ${WARNINGS})

# port_defaults.cpp and parse_number.cpp: the new-port value table and the
# number conversions, shared with the monitor (no monitor state).
file(GLOB SPOOLHOST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/spoolhost/*.cpp)
add_executable(spoolhost ${SPOOLHOST_SOURCES} ${CMAKE_SOURCE_DIR}/src/codec/password_codec.cpp
               ${CMAKE_SOURCE_DIR}/src/codec/parse_number.cpp ${CMAKE_SOURCE_DIR}/src/monitor/port_defaults.cpp)
target_compile_options(spoolhost PRIVATE ${WARNINGS})
target_link_libraries(spoolhost PRIVATE spooler_standin ${WIN_LIBS})
target_link_options(spoolhost PRIVATE ${STATIC_RUNTIME})
add_dependencies(spoolhost monitor catalogues)

# The scale benchmark (bench/scale_bench.sh): the monitor loaded as the
# spooler host loads it, with many registry ports and concurrent jobs.
add_executable(scale_bench ${CMAKE_SOURCE_DIR}/bench/scale/scale_bench.cpp ${CMAKE_SOURCE_DIR}/src/monitor/port_defaults.cpp)
target_compile_options(scale_bench PRIVATE ${WARNINGS})
target_link_libraries(scale_bench PRIVATE spooler_standin ${WIN_LIBS})
target_link_options(scale_bench PRIVATE ${STATIC_RUNTIME})
add_dependencies(scale_bench monitor catalogues)

# The mailer that e-mail ports start from the installation directory.
file(GLOB MAILER_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/sendmail/*.cpp)
add_executable(sendmail ${MAILER_SOURCES} ${CMAKE_SOURCE_DIR}/src/mail/mail_params.cpp
               ${CMAKE_SOURCE_DIR}/src/codec/base64.cpp
               ${CMAKE_SOURCE_DIR}/src/codec/parse_number.cpp
               ${CMAKE_SOURCE_DIR}/src/codec/password_codec.cpp)
target_include_directories(sendmail PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tools)
target_compile_options(sendmail PRIVATE ${WARNINGS})
set_target_properties(sendmail PROPERTIES OUTPUT_NAME Sendmail)
target_link_libraries(sendmail PRIVATE ws2_32 kernel32)
target_link_options(sendmail PRIVATE ${STATIC_RUNTIME})
add_dependencies(spoolhost sendmail)

# The benchmark's floor: a minimal Win32 file sender (bench/wine_send).
add_executable(wine_send ${CMAKE_SOURCE_DIR}/bench/wine_send/wine_send.cpp)
target_compile_options(wine_send PRIVATE ${WARNINGS})
target_link_libraries(wine_send PRIVATE ws2_32 kernel32)
target_link_options(wine_send PRIVATE ${STATIC_RUNTIME})

# A stand-in mailer for the tests: records how it was started, exits with a chosen code.
add_executable(stub_sendmail ${CMAKE_SOURCE_DIR}/tests/stubs/stub_sendmail.cpp)
target_compile_options(stub_sendmail PRIVATE ${WARNINGS})
target_link_options(stub_sendmail PRIVATE ${STATIC_RUNTIME})

# Tests: one program per file, one CTest test per test case, each in its own process.
file(GLOB SUPPORT_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
add_library(test_support STATIC ${SUPPORT_SOURCES})
target_include_directories(test_support PUBLIC ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/resources ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR}/tools/spoolhost)
target_compile_options(test_support PRIVATE ${WARNINGS})
target_link_libraries(test_support PUBLIC gtest spooler_standin)

function(add_wine_tests kind)
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/${kind}/*.cpp)
    foreach(source ${sources})
        get_filename_component(name ${source} NAME_WE)
        set(target ${kind}_${name})
        add_executable(${target} ${source} $<TARGET_OBJECTS:monitor_core> $<TARGET_OBJECTS:monitor_resources>)
        target_compile_options(${target} PRIVATE ${WARNINGS})
        target_link_libraries(${target} PRIVATE test_support gtest_main ${WIN_LIBS})
        target_link_options(${target} PRIVATE ${STATIC_RUNTIME})
        add_dependencies(${target} monitor catalogues sendmail stub_sendmail)
        # Dialog tests share one desktop (and may change its metrics): one at a time.
        # The Raw and IPP integration tests show the error window and message boxes too.
        # The SMTP servers of the mail integration tests listen on 127.0.0.1:25, as
        # does the one of the body edit dialog's UI test: they hold the desktop too.
        # The wizard's integration tests show the wizard and set the user's proxy
        # switch, which the UI tests of its proxy page set as well.
        set(lock "")
        if(kind STREQUAL "ui" OR name MATCHES "^raw_" OR name MATCHES "^ipp_" OR name MATCHES "^mail_smtp"
           OR name MATCHES "^wizard_")
            set(lock RESOURCE_LOCK desktop)
        elseif(name MATCHES "^lpr")
            # The printer service port and the reserved local ports are one per namespace.
            set(lock RESOURCE_LOCK lpd_ports)
        endif()
        gtest_discover_tests(${target} TEST_PREFIX "${kind}.${name}." DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                             PROPERTIES TIMEOUT 120 LABELS ${kind} ${lock})
    endforeach()
endfunction()
add_wine_tests(unit)
add_wine_tests(integration)
add_wine_tests(ui)

# Both targets' DLLs export their entry points undecorated.
add_test(NAME exports.undecorated
         COMMAND bash ${CMAKE_SOURCE_DIR}/tests/check_exports.sh
                 ${CMAKE_BINARY_DIR}/bin/${MONITOR_MODEL}mon.dll
                 ${CMAKE_BINARY_DIR}/../i686/bin/${MONITOR_MODEL}mon.dll)
