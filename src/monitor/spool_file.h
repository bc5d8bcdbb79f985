// Where a job's spool file lies and how it is made.
#pragma once

#include <windows.h>

// The spool directory: "<InstallPath>\Spool" (InstallPathFile), or the
// temporary directory without a usable InstallPath. False when it does not fit.
bool SpoolDirectory(char* directory, DWORD size);

// "<directory>\~DWL<job ID modulo 1000, 3 digits>.DWL", or with the full job
// ID when `fullId`. False with ERROR_FILENAME_EXCED_RANGE when it does not fit.
bool SpoolFilePath(DWORD jobId, bool fullId, char* path, DWORD size);

// Creates the spool file (read and write, no sharing, always new); when the
// directory is missing it is made and the file tried once more. A kept file
// (e-mail) stays after closing; every other one is deleted on close.
HANDLE CreateSpoolFile(const char* path, bool keep);
