// The mail of one job (or of one part of a divided job) as MIME text: a
// multipart/mixed message with a text part (body and signature) and the
// spool file as a base64 attachment. Pure code: no OS header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct MimeInput {
    uint16_t charCode;  // MAIL_US_ASCII, MAIL_ISO_2022_JP, MAIL_ISO_8859_1
    // Texts in the source character set of the character code: US-ASCII,
    // Shift_JIS or ISO-8859-1.
    std::string fromName;
    std::string subject;
    std::string text; // body and signature
    std::string fromAddr;
    std::vector<std::string> recipients;
    std::string date;      // RFC 5322 date-time
    std::string messageId; // without the angle brackets
    std::string fileName;  // of the attachment
    const uint8_t* attachment;
    size_t attachmentSize;
};

// The message in CR LF lines, not yet dot-stuffed.
std::string BuildMimeMessage(const MimeInput& input);

// The DATA payload of the message without the attachment's base64 lines,
// which go between `head` and `tail` as the job's file is read
// (Base64LinesInto, blocks of kAttachmentBlockBytes). Together they are
// DotStuff(BuildMimeMessage(input)): no base64 line starts with "." and the
// head ends with a whole line, so only the head needs dot-stuffing.
// `input.attachment` is not used.
struct MimeFrame {
    std::string head; // dot-stuffed, up to the blank line after the attachment's headers
    std::string tail; // the closing boundary and the end of the data, ".\r\n"
};
MimeFrame BuildMimeFrame(const MimeInput& input);

// A header's text for the character code: as it is when it is plain ASCII,
// else RFC 2047 encoded words. `used` is the length of the line before it.
std::string HeaderText(const std::string& text, uint16_t charCode, size_t used);

// The recipients of a comma-separated list: spaces around each address
// removed, empty entries skipped.
std::vector<std::string> SplitRecipients(const std::string& list);

// True for an address the mailer can put into a header and an SMTP command:
// 1 to 254 characters of printable US-ASCII, none of them a space, "<" or ">".
// Bytes of 0x80 and above would need SMTPUTF8, which the mailer does not ask for.
bool UsableAddress(const std::string& address);

// "<subject> (n/N)" for part n of N; the subject alone for a single part.
std::string PartSubject(const std::string& subject, size_t part, size_t parts);
