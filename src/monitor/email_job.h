// Preparing an e-mail port's settings for one job.
#pragma once

#include "monitor/port_record.h"

// Body edit dialog when asked for, the print markers in the subject, the job tag.
void PrepareEmailJob(EmailSettings* mail, DWORD jobId);

// Puts the print markers at the end of the subject: markers already present
// are removed, the user's text is cut (never inside a double-byte character)
// so that the markers fit whole into the field.
void MarkSubject(char* subject, size_t size, bool noPrint);
