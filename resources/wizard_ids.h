// Resource identifiers of the add-port wizard: the frame, its pages, the
// banner bitmaps and the connection test's animation icons.
#pragma once

// Banner bitmaps (139 x 218, 256 colours).
#define IDB_BANNER_PROTOCOL 100
#define IDB_BANNER_LPR 101
#define IDB_BANNER_IPP 102
#define IDB_BANNER_MAIL_RAW 103

// Connection-test animation: ten frames, 106 to 115.
#define IDI_TEST_FRAME_FIRST 106
#define IDI_TEST_FRAME_LAST 115

// Frame.
#define IDD_WIZARD 200
#define IDC_WIZ_NEXT 201
#define IDC_WIZ_BACK 202
#define IDC_WIZ_BANNER 203
#define IDC_WIZ_LINE 204

// Protocol choice page (index 0).
#define IDD_WIZ_PROTOCOL 205
#define IDC_SETUMEI01 206
#define IDC_QXLPR 207
#define IDC_QXIPP 208
#define IDC_QXRAW 209
#define IDC_QXEMAIL 210

// Port-name page (index 1).
#define IDD_WIZ_PORT_NAME 211
#define IDC_SETUMEI03 212
#define IDC_TEXT_NAME 213
#define IDC_PORT_NAME_EDIT 214

// Connection-type page (index 2).
#define IDD_WIZ_CONNECTION 215
#define IDC_SETUMEI10 216
#define IDC_BTN_MODEM 217
#define IDC_BTN_LAN 218

// The protocols' pages (indexes 3 to 14).
#define IDD_WIZ_IPP_PROXY 219
#define IDD_WIZ_IPP_URL 228
#define IDD_WIZ_IPP_SUMMARY 234
#define IDD_WIZ_LPR_SERVER 242
#define IDD_WIZ_LPR_SUMMARY 249
#define IDD_WIZ_MAIL_ACCOUNT 273
#define IDD_WIZ_MAIL_RECIPIENTS 281
#define IDD_WIZ_MAIL_BODY 288
#define IDD_WIZ_MAIL_AUTH 295
#define IDD_WIZ_MAIL_SUMMARY 310
#define IDD_WIZ_RAW_SERVER 324
#define IDD_WIZ_RAW_SUMMARY 328

// E-mail account page (index 8).
#define IDC_SETUMEI12 274
#define IDC_MAILWIZ_SMTP_LABEL 275
#define IDC_MAILWIZ_SMTP 276
#define IDC_MAILWIZ_FROM_NAME_LABEL 277
#define IDC_MAILWIZ_FROM_NAME 278
#define IDC_MAILWIZ_FROM_ADDR_LABEL 279
#define IDC_MAILWIZ_FROM_ADDR 280

// E-mail recipients page (index 9). The summary page's recipients list has
// the number of this page's combo box.
#define IDC_SETUMEI13 282
#define IDC_MAILWIZ_TO_LABEL 283
#define IDC_MAILWIZ_TO_COMBO 284
#define IDC_MAILWIZ_ADD 285
#define IDC_MAILWIZ_TO_LIST 286
#define IDC_MAILWIZ_DELETE 287

// E-mail body page (index 10).
#define IDC_SETUMEI14 289
#define IDC_MAILWIZ_BODY_GROUP 290
#define IDC_MAILWIZ_PRINT_BODY 291
#define IDC_MAILWIZ_BODY_EACH_JOB 292
#define IDC_MAILWIZ_BODY_FIXED 293
#define IDC_MAILWIZ_EDIT_BODY 294

// SMTP authentication page (index 11).
#define IDC_MAILWIZ_AUTH_GROUP 297
#define IDC_MAILWIZ_USE_AUTH 298
#define IDC_MAILWIZ_AUTH_ID_LABEL 299
#define IDC_MAILWIZ_AUTH_ID 300
#define IDC_MAILWIZ_AUTH_PASS_LABEL 301
#define IDC_MAILWIZ_AUTH_PASS 302
#define IDC_MAILWIZ_AUTH_TEXT 325

// E-mail summary page (index 12).
#define IDC_SETUMEI15 311
#define IDC_MAILWIZ_SUM_SMTP_LABEL 312
#define IDC_MAILWIZ_SUM_SMTP 313
#define IDC_MAILWIZ_SUM_NAME_LABEL 314
#define IDC_MAILWIZ_SUM_NAME 315
#define IDC_MAILWIZ_SUM_FROM_LABEL 316
#define IDC_MAILWIZ_SUM_FROM 317
#define IDC_MAILWIZ_SUM_TO_LABEL 318
#define IDC_MAILWIZ_SUM_BODY_LABEL 320
#define IDC_MAILWIZ_SUM_BODY 321
#define IDC_MAILWIZ_SUM_PORT_LABEL 322
#define IDC_MAILWIZ_SUM_PORT 323
// LPR print-server page (index 6) and LPR summary (index 7); the host field
// and the summary's fields keep their numbers on the Raw pages.
#define IDC_SETUMEI05 243
#define IDC_TEXT_IP 244
#define IDC_HOST_EDIT 245
#define IDC_TEXT_QXC 246
#define IDC_QUEUE_LIST 247
#define IDC_BTN_SEEK 248
#define IDC_SETUMEI06 250
#define IDC_TEXT_IPADD 251
#define IDC_SUMMARY_HOST 252
#define IDC_TEXT_PNAME 253
#define IDC_SUMMARY_QUEUE 254
#define IDC_TEXT_PRINAME 255
#define IDC_SUMMARY_PORT 256

// Raw print-server page (index 13) and Raw summary (index 14): host field
// IDC_HOST_EDIT, the summary's port name in IDC_PORT_NAME_EDIT.
#define IDC_RAW_INFO 325
#define IDC_RAW_TEXT_IP 326
#define IDC_RAW_SEEK 327
#define IDC_RAW_TEXT_PRINAME 329

// IPP proxy page (index 3).
#define IDC_PROXY_INFO 220
#define IDC_BTN_NO 221
#define IDC_PROXY_GROUP 222
#define IDC_BTN_PROXY 223
#define IDC_TEXT_PROXY 224
#define IDC_PROXY_EDIT 225
#define IDC_TEXT_NUM 226
#define IDC_PROXY_PORT_EDIT 227

// IPP URL page (index 4): the connection test's animation and progress text.
#define IDC_SETUMEI02 229
#define IDC_TEXT_URI 230
#define IDC_URL_EDIT 231
#define IDC_TEST_ICON 232
#define IDC_TEXT_CONNECT 233

// IPP summary page (index 5).
#define IDC_SETUMEI04 235
#define IDC_TEXT_ADR 236
#define IDC_TEXT_PRINT 237
#define IDC_TEXT_PRINTER 238
#define IDC_SUMMARY_URL 239
#define IDC_SUMMARY_IPP_PORT 240
#define IDC_SUMMARY_MODEL 241
