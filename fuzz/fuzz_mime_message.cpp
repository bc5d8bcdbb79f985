// Fuzzes the mailer's pure code: the mailer's command line, a parameter file
// read back from any bytes, and the MIME message built from its texts. The
// message must keep its lines within 998 bytes and its attachment exact; the
// ISO-2022-JP form of any text must end in ASCII mode.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "mail/mail_params.h"
#include "sendmail/iso2022jp.h"
#include "sendmail/mail_encoding.h"
#include "sendmail/mime_message.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

bool EndsInAscii(const std::string& jis)
{
    size_t escape = jis.rfind('\x1b');
    return escape == std::string::npos || jis.compare(escape, 3, "\x1b(B") == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    char spool[64], name[64];
    if (ParseMailerCommandLine(text.c_str(), spool, sizeof spool, name, sizeof name))
        Check(strlen(spool) > 0 && strlen(spool) < sizeof spool && strlen(name) < sizeof name);
    Check(EndsInAscii(SjisToIso2022Jp(text)));
    for (const std::string& piece : Iso2022JpPieces(text, 42))
        Check(piece.size() <= 42 && EndsInAscii(piece));

    // A parameter file of these bytes (repeated to the file's size).
    std::vector<uint8_t> image(kMailParamsSize, 0);
    for (size_t i = 0; size && i < image.size(); ++i)
        image[i] = data[i % size];
    MailParams p;
    Check(ReadMailParams(image.data(), image.size(), &p));
    MimeInput in = {};
    in.charCode = static_cast<uint16_t>(p.charCode % 3);
    in.fromName = p.fromName;
    in.fromAddr = p.fromAddr;
    in.subject = p.subject;
    in.text = std::string(p.body) + p.signature;
    // The mailer sends only usable addresses.
    for (const std::string& to : SplitRecipients(p.toAddr))
        if (UsableAddress(to))
            in.recipients.push_back(to);
    in.date = "Sun, 06 Dec 2026 11:30:00 +0000";
    in.messageId = "fuzz@example";
    in.fileName = "SMTP000.prn";
    in.attachment = data;
    in.attachmentSize = size;
    std::string message = BuildMimeMessage(in);
    Check(LinesWithin(message, 998));
    Check(message.find(Base64Lines(data, size)) != std::string::npos);
    std::string payload = DotStuff(message);
    Check(payload.size() >= 3 && payload.compare(payload.size() - 3, 3, ".\r\n") == 0);
    // The mailer streams the attachment between the frame's head and tail.
    MimeFrame frame = BuildMimeFrame(in);
    Check(frame.head + Base64Lines(data, size) + frame.tail == payload);
    return 0;
}
