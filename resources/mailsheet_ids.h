// Resource identifiers of the e-mail configuration sheet: its frame (with
// the OK, Cancel, Apply and tab controls of sheets_ids.h) and its account,
// recipients, body and SMTP authentication pages.
#pragma once

#define IDD_MAIL_SHEET 372

// Account page.
#define IDD_MAIL_ACCOUNT 373
#define IDC_STC_SMTP 275
#define IDC_EDT_SMTP 276
#define IDC_STC_FROM 277
#define IDC_EDT_FROM_NAME 278
#define IDC_STC_MAIL 279
#define IDC_EDT_FROM_ADDR 280
#define IDC_BTN_VER 374

// Recipients page, with the division of mails.
#define IDD_MAIL_RECIPIENTS 375
#define IDC_STC_TO 283
#define IDC_CMB_TO 284
#define IDC_BTN_ADD 285
#define IDC_LST_TO 286
#define IDC_BTN_DEL 287
#define IDC_GRP_DIVIDE 376
#define IDC_CHK_DIVIDE 377
#define IDC_STC_DIVIDE 378
#define IDC_EDT_DIVIDE 379
#define IDC_SPN_DIVIDE 380
#define IDC_STC_KB 381

// Body page: body printing and the character set.
#define IDD_MAIL_BODY 383
#define IDC_GRP_MAIL 290
#define IDC_CHK_MAIL 291
#define IDC_RAD_VARIABLE 292
#define IDC_RAD_FIXATION 293
#define IDC_BTN_EDIT 294
#define IDC_STC_ENCODE 384
#define IDC_CMB_ENCODE 385

// SMTP authentication page.
#define IDD_MAIL_AUTH 386
#define IDC_GRP_AUTH 297
#define IDC_CHK_AUTH 298
#define IDC_STC_ID 299
#define IDC_EDT_ID 300
#define IDC_STC_PASSWORD 301
#define IDC_EDT_PASSWORD 302
