# Pure code: no OS header; built into the monitor and natively (tests, fuzzers).
set(PURE_SOURCES
    src/monitor/monitor_name.cpp
    src/monitor/password_codec.cpp
    src/text/escapes.cpp
    src/text/dialog_font.cpp
    src/ipp/parse_number.cpp
    src/ipp/printer_url.cpp
    src/net/lpr_format.cpp
)
