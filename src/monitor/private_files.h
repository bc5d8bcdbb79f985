// Files and folders only the system, administrators and the account the
// monitor runs under can open: the spool folder, spool files and the mailer's
// parameter file (which holds the scrambled SMTP password).
#pragma once

#include <windows.h>

// Creates the folder with the private access list; an existing folder gets
// that list set. False (last error set) when it can be neither.
bool MakePrivateDirectory(const char* path);

// Creates a new file with the private access list (read and write, no
// sharing). A file left under that name is deleted first and never opened:
// a file or link planted there cannot be reused. INVALID_HANDLE_VALUE with
// the last error on failure (ERROR_SHARING_VIOLATION while another job holds
// the name open).
HANDLE CreatePrivateFile(const char* path, DWORD flagsAndAttributes);
