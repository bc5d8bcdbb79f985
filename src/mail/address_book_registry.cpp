// The address book in the registry: the store of address_book.h over the
// monitor key's AddrBook subkey.
#include "mail/address_book_registry.h"

#include <cstring>
#include <string>
#include <vector>

#include "monitor/monitor.h"

namespace {

const char kAddrBookKey[] = "AddrBook";

// AddrBook below the monitor key (opened in two steps: long registry paths
// opened in one piece can be refused); NULL when it cannot be opened.
HKEY OpenAddrBook(bool create)
{
    HKEY monitorKey = nullptr;
    REGSAM access = create ? KEY_CREATE_SUB_KEY | KEY_QUERY_VALUE : KEY_QUERY_VALUE;
    if (!g_monitor.monitorKey[0] || RegOpenKeyExA(HKEY_LOCAL_MACHINE, g_monitor.monitorKey, 0, access, &monitorKey) != ERROR_SUCCESS)
        return nullptr;
    HKEY book = nullptr;
    LONG result = create ? RegCreateKeyExA(monitorKey, kAddrBookKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                                           nullptr, &book, nullptr)
                         : RegOpenKeyExA(monitorKey, kAddrBookKey, 0, KEY_QUERY_VALUE, &book);
    RegCloseKey(monitorKey);
    return result == ERROR_SUCCESS ? book : nullptr;
}

// Only "not found" is a missing value; a value too long for an address, of
// another type or otherwise unreadable is present, so reading goes on past it.
AddressReadResult ReadValue(void* context, const char* name, char* value, size_t size)
{
    DWORD type = 0;
    DWORD got = static_cast<DWORD>(size);
    LONG result = RegQueryValueExA(static_cast<HKEY>(context), name, nullptr, &type, reinterpret_cast<BYTE*>(value), &got);
    if (result == ERROR_FILE_NOT_FOUND)
        return ADDRESS_MISSING;
    if (result != ERROR_SUCCESS || type != REG_SZ)
        return ADDRESS_PRESENT;
    if (got < size)
        value[got] = '\0';
    else if (value[size - 1] != '\0')
        return ADDRESS_PRESENT; // it fills the buffer without its terminator: too long
    return ADDRESS_FOUND;
}

void WriteValue(void* context, const char* name, const char* value)
{
    RegSetValueExA(static_cast<HKEY>(context), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                   static_cast<DWORD>(strlen(value) + 1));
}

void AddToCombo(void* context, const char* address)
{
    SendMessageA(static_cast<HWND>(context), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(address));
}

} // namespace

void FillAddressCombo(HWND combo)
{
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    HKEY book = OpenAddrBook(false);
    if (!book)
        return;
    AddressBookStore store = {book, ReadValue, WriteValue};
    ReadAddressBook(store, AddToCombo, combo);
    RegCloseKey(book);
}

size_t SaveRecipientsToAddressBook(const RecipientList& list)
{
    HKEY book = OpenAddrBook(true);
    if (!book)
        return 0;
    AddressBookStore store = {book, ReadValue, WriteValue};
    size_t written = SaveAddressBook(store, list);
    RegCloseKey(book);
    return written;
}

size_t SaveListToAddressBook(HWND listBox)
{
    LRESULT count = SendMessageA(listBox, LB_GETCOUNT, 0, 0);
    std::vector<std::string> entries;
    for (LRESULT i = 0; i < count && i < static_cast<LRESULT>(kAddressBookReadLimit); ++i) {
        LRESULT length = SendMessageA(listBox, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
        if (length <= 0 || length > static_cast<LRESULT>(kMaxAddressChars))
            continue;
        char text[kMaxAddressChars + 1] = "";
        SendMessageA(listBox, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        text[kMaxAddressChars] = '\0';
        entries.push_back(text);
    }
    std::vector<const char*> addresses;
    for (const std::string& entry : entries)
        addresses.push_back(entry.c_str());
    RecipientList list = {addresses.data(), addresses.size()};
    return SaveRecipientsToAddressBook(list);
}
