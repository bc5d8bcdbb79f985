// Resource identifiers of the configuration sheets: the tabbed frame, the
// IPP sheet's pages and its advanced dialog.
#pragma once

// The frame of a configuration sheet: OK (IDOK), Cancel (IDCANCEL), Apply
// and the tab control; the IPP sheet's frame template.
#define IDD_IPP_SHEET 330
#define IDC_SHEET_APPLY 331
#define IDC_SHEET_TAB 332
// A hidden text on each page: the page's tab label where the dialog
// catalogue has none.
#define IDC_SHEET_PAGE_LABEL 3300

// IPP sheet, general page.
#define IDD_IPP_GENERAL 333
#define IDC_CNF_URI 334
#define IDC_CNF_URI_EDIT 335
#define IDC_CNF_TIMEOUT 336
#define IDC_CNF_TIMEOUT_EDIT 337
#define IDC_CNF_TIMEOUT_SPIN 338
#define IDC_CNF_SEC 339
#define IDC_CNF_PROXY_GROUP 340
#define IDC_CHK_PROXY 341
#define IDC_CNF_PROXY 342
#define IDC_CNF_PROXY_EDIT 343
#define IDC_CNF_PORT 344
#define IDC_CNF_PORT_EDIT 345
#define IDC_BTN_VERSION 346
#define IDC_BTN_HIGH 347
// The retry check box has the number of the LPR and Raw dialog's (371).
#define IDC_CNF_RECONNECT 371

// IPP sheet, authentication page.
#define IDD_IPP_AUTH 349
#define IDC_CNF_AUTH_GROUP 350
#define IDC_CHK_BASIC 351
#define IDC_CNF_USER 352
#define IDC_CNF_USER_EDIT 353
#define IDC_CNF_PASS 354
#define IDC_CNF_PASS_EDIT 355

// IPP advanced dialog.
#define IDD_IPP_ADVANCED 356
#define IDC_CNF_CHUNK_GROUP 357
#define IDC_CHK_CHUNK 358
#define IDC_CNF_CHUNKSIZE 359
#define IDC_CNF_CHUNK_EDIT 360
#define IDC_CNF_CHUNK_SPIN 361
#define IDC_CNF_BYTE 362
#define IDC_LANG 364
#define IDC_LANG_COMBO 365
