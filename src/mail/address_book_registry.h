// The address book in the registry (the monitor key's AddrBook subkey), for
// the recipients pages of the add-port wizard and the e-mail configuration
// sheet. A missing or unwritable book is not reported: the combo box stays
// empty, or the save does nothing.
#pragma once

#include <windows.h>

#include "mail/address_book.h"

// Empties the combo box, then adds each stored address (Address000 onwards,
// up to the first missing value).
void FillAddressCombo(HWND combo);

// Saves the recipients (address_book.h: held ones left out, new ones
// appended, overwriting from Address000 once 100 are stored), creating
// AddrBook when needed. Returns how many were written.
size_t SaveRecipientsToAddressBook(const RecipientList& list);
// The same with the entries of a list box, in list order (entries longer
// than an address are passed over).
size_t SaveListToAddressBook(HWND listBox);
