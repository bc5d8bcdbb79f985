// Resource identifiers of the monitor module.
#pragma once

// String table: start-up messages.
#define IDS_NO_TCPIP 508
#define IDS_WINSOCK_VERSION 509

// Version dialog.
#define IDD_VERSION 387
#define IDC_VERSION_LINE 388
#define IDC_VERSION01 389
#define IDC_VERSION02 390
#define IDC_VERSION04 391
#define IDC_VERSION03 392
