// Refresh of the ports that stand for connected network printers.
#pragma once

// Starts a refresh when one is due and waits for it a bounded time.
// The caller holds the monitor lock.
void RefreshIfDue();

// One refresh: enumerate connected printers, then sweep. Takes the lock itself.
void RefreshNetworkPorts();
