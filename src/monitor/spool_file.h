// Where a job's spool file lies and how it is made.
#pragma once

#include <windows.h>

// The spool directory: "<InstallPath>\Spool" (InstallPathFile), or a
// private folder "DWLSpool" in the temporary directory without a usable
// InstallPath. False when it does not fit.
bool SpoolDirectory(char* directory, DWORD size);

// "<directory>\~DWL<job ID modulo 1000, 3 digits>.DWL", or with the full job
// ID when `fullId`. False with ERROR_FILENAME_EXCED_RANGE when it does not fit.
bool SpoolFilePath(DWORD jobId, bool fullId, char* path, DWORD size);

// Creates the spool file as a private file (read and write, no sharing,
// always new) in its folder, which is made private first. A kept file
// (e-mail) stays after closing; every other one is deleted on close.
HANDLE CreateSpoolFile(const char* path, bool keep);

struct PortRecord;

// Closes the job's spool file once. The handle is taken from the record
// under the monitor lock, so that GetPrinterDataFromPort never uses a
// handle being closed.
void CloseSpoolFile(PortRecord* port);
