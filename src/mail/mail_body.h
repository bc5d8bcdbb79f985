// The body edit dialog shown at print time for e-mail ports that ask for it.
#pragma once

#include "monitor/port_record.h"

// Lets the user edit subject, body and signature of this job's mail.
// Returns IDOK, or IDCANCEL when the user chose not to print.
INT_PTR EditMailBody(EmailSettings* settings);
