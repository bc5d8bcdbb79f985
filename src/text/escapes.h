// Catalogue text processing: escape expansion and the bounded formatter.
// Pure code: no OS header.
#pragma once

#include <cstddef>

// Expands backslash-n to CR LF and backslash-t to a tab, in place, walking the
// text up to `length` (its length on entry). Other backslashes stay. Returns
// the number of lines (line breaks made + 1). The text never grows.
int ExpandEscapes(char* text, size_t length);

// True for the first byte of a double-byte character of the code page the
// text is in (IsDBCSLeadByte); NULL stands for a single-byte code page.
typedef bool (*TextLeadByteTest)(unsigned char byte);

// The one argument a catalogue text may be formatted with.
struct CatalogueArg {
    enum Kind { NONE, TEXT, NUMBER } kind;
    const char* text;
    long number;
};
inline CatalogueArg ArgNone() { return CatalogueArg{CatalogueArg::NONE, nullptr, 0}; }
inline CatalogueArg ArgText(const char* text) { return CatalogueArg{CatalogueArg::TEXT, text, 0}; }
inline CatalogueArg ArgNumber(long number) { return CatalogueArg{CatalogueArg::NUMBER, nullptr, number}; }

// Longest catalogue text or formatted result, in characters.
const size_t kCatalogueTextMax = 511;

// Formats `text` with `arg` into `out` (`outSize` bytes, always terminated,
// result cut at 511 bytes and at outSize - 1; a cut never splits a
// double-byte character that `isLead` recognises). The text is formatted only
// when it holds exactly one conversion and that conversion matches the argument
// ("%s" for a text; "%d", "%i", "%u", "%x", "%X", "%ld", "%lu", "%lx", "%lX" for a number; flags,
// width and precision allowed; "%%" is a literal percent and does not count).
// Otherwise (no argument, no conversion, two conversions, a mismatch, an
// unknown conversion) the text is copied as it stands. Returns the length.
size_t FormatCatalogueText(const char* text, CatalogueArg arg, char* out, size_t outSize,
                           TextLeadByteTest isLead = nullptr);
