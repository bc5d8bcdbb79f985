// The address book in Wine's real registry: AddrBook below the monitor key.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mail/address_book_registry.h"
#include "monitor/monitor.h"
#include "support/fresh_monitor.h"

namespace {

std::string BookKey()
{
    return std::string(g_monitor.monitorKey) + "\\AddrBook";
}

void StoreText(const char* name, const std::string& text)
{
    SetRegistryValue(g_monitor.monitorKey, "AddrBook", name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

// The text of a value, or "(missing)".
std::string StoredText(const char* name)
{
    char text[256] = "";
    DWORD size = sizeof text - 1;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, BookKey().c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return "(missing)";
    LONG result = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? std::string(text) : "(missing)";
}

std::vector<std::string> ComboEntries(HWND combo)
{
    std::vector<std::string> entries;
    LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        char text[256] = "";
        SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        entries.push_back(text);
    }
    return entries;
}

// Values that are no usable address (longer than 64 characters, of another
// type) are present all the same: reading and saving go on past them.
TEST(AddressBookRegistry, ValuesThatAreNoAddressCountAsPresent)
{
    FreshMonitor monitor;
    const std::string longOne = std::string(70, 'l') + "@example.test";
    StoreText("Address000", longOne);
    StoreText("Address001", "bob@example.test");
    DWORD number = 7;
    SetRegistryValue(g_monitor.monitorKey, "AddrBook", "Address002", REG_DWORD, &number, sizeof number);
    StoreText("Address003", std::string(64, 'x'));

    HWND combo = CreateWindowA("COMBOBOX", "", CBS_DROPDOWN, 0, 0, 200, 200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(combo, nullptr);
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("left over"));
    FillAddressCombo(combo);
    EXPECT_EQ(ComboEntries(combo), (std::vector<std::string>{"bob@example.test", std::string(64, 'x')}));
    DestroyWindow(combo);

    const char* list[] = {"new@example.test", "bob@example.test"};
    EXPECT_EQ(SaveRecipientsToAddressBook(RecipientList{list, 2}), 1u);
    EXPECT_EQ(StoredText("Address004"), "new@example.test");
    EXPECT_EQ(StoredText("Address000"), longOne);
    EXPECT_EQ(StoredText("Address005"), "(missing)");
}

TEST(AddressBookRegistry, ASaveCreatesTheBook)
{
    FreshMonitor monitor;
    monitor.SetMonitorDword("Reconnection", 0); // the monitor key, without AddrBook
    const char* list[] = {"first@example.test"};
    EXPECT_EQ(SaveRecipientsToAddressBook(RecipientList{list, 1}), 1u);
    EXPECT_EQ(StoredText("Address000"), "first@example.test");
}

} // namespace
