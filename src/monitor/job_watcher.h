// The job watcher: one thread per job that keeps the job's spooler status
// in the port's job status cache while the document is open.
#pragma once

#include "monitor/port_record.h"

void StartJobWatcher(PortRecord* port);
// Asks the watcher to end; 1 when it ended within ten polls.
BOOL StopJobWatcher(PortRecord* port);
