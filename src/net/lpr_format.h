// The line printer daemon wire format (RFC 1179) as this monitor sends it:
// the receive-job command, the two receive-file sub-commands, the file names
// and the control file. Pure code: no OS header.
//
// Every function writes into a caller buffer and returns the number of bytes
// written (the text is NUL-terminated as well, the NUL not counted), or 0 when
// the buffer is too small or the input is refused. Names are cleaned on the
// way: a missing name is empty, control characters (below 0x20, and 0x7F)
// become blanks, host and user names are cut to 31 bytes, job and document
// names to 99. Given a lead-byte test of the system's double-byte code page,
// a name is cut before a double-byte character that would not fit whole (a
// lone lead byte would swallow the line feed after it on a server that reads
// the same code page).
#pragma once

#include <cstddef>
#include <cstdint>

const size_t kLprHostNameMax = 31;     // H and P lines, and the host part of file names
const size_t kLprJobNameMax = 99;      // J and N lines
// Longest control file: six lines of at most 99 + 2 bytes of text each.
const size_t kLprControlFileMax = 640;
// Longest command or sub-command, with its NUL.
const size_t kLprCommandMax = 96;
// The data-file length announced when the job is streamed and its size unknown.
extern const char kLprStreamedLength[];

const unsigned char kLprReceiveJob = 0x02;     // command, and the control-file sub-command
const unsigned char kLprReceiveDataFile = 0x03;
// The abort-job sub-command: the server discards what it received of the job.
const char kLprAbortJob[] = "\x01\n";

// The job number of a spooler job ID: the ID modulo 1000 (printed with 3 digits).
unsigned LprJobNumber(uint32_t jobId);

// True for the first byte of a double-byte character (IsDBCSLeadByte).
typedef bool (*LprLeadByteTest)(unsigned char c);

// Copies `name` (NULL: empty) into `out`, control characters made blanks,
// cut to `limit` bytes and to the buffer, never inside a double-byte
// character when `isLead` is given. Returns the length.
size_t LprCleanName(const char* name, size_t limit, char* out, size_t outSize, LprLeadByteTest isLead = nullptr);

// "cfA" or "dfA" (`prefix`), the 3-digit job number and the cleaned host.
size_t LprFileName(const char* prefix, unsigned jobNumber, const char* host, char* out, size_t outSize);

// 0x02, queue, LF. A queue holding a control character is refused (0).
size_t LprReceiveJobCommand(const char* queue, char* out, size_t outSize);

// 0x02, control-file length, SP, control-file name, LF.
size_t LprControlFileCommand(uint32_t length, unsigned jobNumber, const char* host, char* out, size_t outSize);

// 0x03, data-file length, SP, data-file name, LF. With `streamed` the length
// is kLprStreamedLength whatever `size` says.
size_t LprDataFileCommand(uint32_t size, bool streamed, unsigned jobNumber, const char* host, char* out, size_t outSize);

// The control file: H host, P user, J document, f and U naming the data file,
// N document, one line each. Names are cut on character boundaries of the
// code page that `isLead` tests (byte-wise without it).
size_t LprBuildControlFile(const char* host, const char* user, const char* document, unsigned jobNumber, char* out,
                           size_t outSize, LprLeadByteTest isLead = nullptr);

// True when an acknowledgement of `length` bytes is positive (first byte 0).
bool LprAckPositive(const unsigned char* reply, size_t length);
