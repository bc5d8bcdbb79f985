// The address book of e-mail recipients. Pure code: no OS header.
#include "mail/address_book.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

const char kValuePrefix[] = "Address";

// What a save must know of the stored values: which recipients the book
// holds already (marked in `held`), and how many values are present.
size_t MarkHeld(const AddressBookStore& store, const RecipientList& list, std::vector<bool>* held)
{
    char name[kAddressValueNameSize];
    char value[kMaxAddressChars + 1];
    size_t present = 0;
    for (; present < kAddressBookReadLimit; ++present) {
        AddressValueName(present, name, sizeof name);
        AddressReadResult result = store.read(store.context, name, value, sizeof value);
        if (result == ADDRESS_MISSING)
            break;
        if (result != ADDRESS_FOUND)
            continue;
        value[sizeof value - 1] = '\0';
        long index = FindRecipient(list, value);
        if (index >= 0)
            (*held)[static_cast<size_t>(index)] = true;
    }
    return present;
}

} // namespace

void AddressValueName(size_t slot, char* name, size_t size)
{
    snprintf(name, size, "%s%03u", kValuePrefix, static_cast<unsigned>(slot % kAddressBookReadLimit));
}

size_t ReadAddressBook(const AddressBookStore& store, void (*add)(void* context, const char* address), void* context)
{
    char name[kAddressValueNameSize];
    char value[kMaxAddressChars + 1];
    size_t present = 0;
    for (; present < kAddressBookReadLimit; ++present) {
        AddressValueName(present, name, sizeof name);
        AddressReadResult result = store.read(store.context, name, value, sizeof value);
        if (result == ADDRESS_MISSING)
            break;
        value[sizeof value - 1] = '\0';
        if (result == ADDRESS_FOUND && value[0] && add)
            add(context, value);
    }
    return present;
}

size_t SaveAddressBook(const AddressBookStore& store, const RecipientList& list)
{
    std::vector<bool> held(list.count, false);
    size_t next = MarkHeld(store, list, &held);
    char name[kAddressValueNameSize];
    size_t written = 0;
    for (size_t i = 0; i < list.count; ++i) {
        if (held[i])
            continue;
        size_t slot = next < kAddressBookSlots ? next : 0;
        AddressValueName(slot, name, sizeof name);
        store.write(store.context, name, list.addresses[i]);
        next = slot + 1;
        ++written;
    }
    return written;
}
