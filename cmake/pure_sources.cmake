# Pure code: no OS header; built into the monitor and natively (tests, fuzzers).
set(PURE_SOURCES
    src/codec/base64.cpp
    src/codec/charset.cpp
    src/codec/parse_number.cpp
    src/codec/password_codec.cpp
    src/monitor/monitor_name.cpp
    src/text/escapes.cpp
    src/text/dialog_font.cpp
    src/ipp/printer_url.cpp
    src/ipp/proxy_setting.cpp
    src/ipp/ipp_request.cpp
    src/ipp/http_message.cpp
    src/ipp/http_parser.cpp
    src/ipp/ipp_response.cpp
    src/ipp/ipp_policy.cpp
    src/net/lpr_format.cpp
    src/ui/config/sheet_rules.cpp
    src/mail/mail_params.cpp
    src/mail/mail_checks.cpp
    src/mail/address_book.cpp
)
# Pure code of the mailer (tools/sendmail): its MIME and encoding files.
set(MAILER_PURE_SOURCES
    tools/sendmail/mail_encoding.cpp
    tools/sendmail/iso2022jp.cpp
    tools/sendmail/mime_message.cpp
)
