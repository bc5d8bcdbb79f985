// Files and folders the test programs share.
#pragma once

#include <string>

// The folder of the running test program, with a closing backslash.
std::string ProgramDir();
// The temporary folder (%TEMP%), with a closing backslash.
std::string TempDir();
// The whole file, also while another process writes or deletes it; empty
// when it cannot be opened.
std::string ReadFileBytes(const std::string& path);
