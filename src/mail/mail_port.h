// The e-mail port's sender: hands the spooled job to the mailer program.
#pragma once

#include "monitor/port_record.h"

// The mailer's file name in the installation directory.
extern const char kMailerProgram[];

// Called once by EndDocPort with no data: writes the parameter file beside
// the spool file, closes the spool file, runs the mailer from the
// installation directory and waits for it. Its exit code becomes the port's
// error code; a code other than 0 goes through the error reporter and fails
// the job. Sets *count to `length`.
BOOL MailSendJob(PortRecord* port, const BYTE* data, DWORD length, DWORD* count);
