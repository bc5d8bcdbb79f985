// The user's Internet proxy setting (the text of the ProxyServer value)
// turned into the proxy address and port text the IPP pages offer.
// Pure code: no OS header.
#pragma once

#include <cstddef>

// The value is "address:port" for every protocol, or per-protocol entries
// "http=address:port;ftp=...". Reads at most `length` bytes of `value` (a
// registry text need not be terminated; it ends at its first NUL). The HTTP
// entry, when there is one, takes the place of the whole value; then the
// text before the first ":" is the address and the text after it the port
// text (empty without ":"). A value of per-protocol entries without an HTTP
// entry names no HTTP proxy: both results are empty. Results are cut to
// their buffers (always terminated).
void ParseProxyServer(const char* value, size_t length, char* address, size_t addressSize, char* portText,
                      size_t portSize);
