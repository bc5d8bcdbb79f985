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

// Transmission-error window.
#define IDD_ERROR_WINDOW 400
#define IDC_RETRY 401
#define IDC_ERROR_TEXT 402
#define IDC_ERROR_ICON 403

// Password dialog.
#define IDD_PASSWORD 393
#define IDC_PASSWORD_ICON 394
#define IDC_SETUMEI11 395
#define IDC_NAME 396
#define IDC_USER_EDIT 397
#define IDC_KEYWORD 398
#define IDC_PASSWORD_EDIT 399

// String table: the transmission-error window's messages.
#define IDS_LPR_RETRY 512
#define IDS_LPR_QUEUE_ERR 515
#define IDS_IPP_RETRY 516
#define IDS_IPP_TIMEOUT 519

// LPR and Raw configuration dialog.
#define IDD_LPR_RAW_CONFIG 366
#define IDC_CFG_TIMEOUT 367
#define IDC_CFG_TIMEOUT_EDIT 368
#define IDC_CFG_TIMEOUT_SPIN 369
#define IDC_CFG_VERSION 370
#define IDC_CFG_RECONNECT 371
