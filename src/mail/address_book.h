// The address book of e-mail recipients: string values "Address000",
// "Address001", ... (numbered without gaps) under the monitor key's AddrBook
// subkey, shared by every e-mail port. A save appends the recipients the book
// does not hold yet; once 100 are stored, new ones overwrite Address000,
// Address001 and onwards.
// Pure code: no OS header. The registry side is a small store of value reads
// and writes (address_book_registry.cpp gives the real one).
#pragma once

#include <cstddef>

#include "mail/mail_checks.h"

// Slots written: Address000 to Address099.
const size_t kAddressBookSlots = 100;
// Names read: a read ends at the first missing value, at the latest after
// Address999 (the last name of three digits).
const size_t kAddressBookReadLimit = 1000;
// "Address" and three digits, and the NUL.
const size_t kAddressValueNameSize = 12;

// What one value read found.
enum AddressReadResult {
    ADDRESS_FOUND,   // the value holds an address that fit
    ADDRESS_PRESENT, // the value exists but is no usable address (too long, another type, unreadable)
    ADDRESS_MISSING, // no such value: the only result that ends a read
};

struct AddressBookStore {
    void* context;
    // Reads value `name` into `value` (NUL-terminated, `size` bytes).
    AddressReadResult (*read)(void* context, const char* name, char* value, size_t size);
    // Writes value `name`; failures are not reported.
    void (*write)(void* context, const char* name, const char* value);
};

// "Address" and the slot as three digits ("%s%03d").
void AddressValueName(size_t slot, char* name, size_t size);

// Reads Address000, Address001, ... until the first missing value and calls
// `add` with each address found (of at most 64 characters). Returns how many
// values are present, the unusable ones included.
size_t ReadAddressBook(const AddressBookStore& store, void (*add)(void* context, const char* address), void* context);

// Saves the recipients: every one the book holds already (letter case
// counts) is left out; each other one, in list order, is written to the slot
// after the last one present, or to Address000 and onwards once 100 are
// stored. Returns how many were written.
size_t SaveAddressBook(const AddressBookStore& store, const RecipientList& list);
