// Private folders and files: a protected access list that allows SYSTEM,
// Administrators and the process's own account, and nobody else.
#include "monitor/private_files.h"

namespace {

const DWORD kSidSize = SECURITY_MAX_SID_SIZE;

// The access list and the descriptor that points at it.
struct PrivateSecurity {
    BYTE system[kSidSize];
    BYTE administrators[kSidSize];
    BYTE tokenUser[sizeof(TOKEN_USER) + kSidSize];
    BYTE acl[512];
    SECURITY_DESCRIPTOR descriptor;
    SECURITY_ATTRIBUTES attributes;
};

bool WellKnownSid(WELL_KNOWN_SID_TYPE type, BYTE* sid)
{
    DWORD size = kSidSize;
    return CreateWellKnownSid(type, nullptr, sid, &size) != FALSE;
}

// The account this process runs under (the spooler's, in production).
bool ProcessUserSid(BYTE* buffer, DWORD size, PSID* sid)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    DWORD needed = 0;
    bool ok = GetTokenInformation(token, TokenUser, buffer, size, &needed) != FALSE;
    CloseHandle(token);
    if (ok)
        *sid = reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid;
    return ok;
}

bool AllowFull(PACL acl, PSID sid)
{
    const DWORD inherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    return AddAccessAllowedAceEx(acl, ACL_REVISION, inherit, GENERIC_ALL, sid) != FALSE;
}

bool MakeSecurity(PrivateSecurity* s)
{
    PSID user = nullptr;
    PACL acl = reinterpret_cast<PACL>(s->acl);
    if (!WellKnownSid(WinLocalSystemSid, s->system) || !WellKnownSid(WinBuiltinAdministratorsSid, s->administrators) ||
        !ProcessUserSid(s->tokenUser, sizeof s->tokenUser, &user) || !InitializeAcl(acl, sizeof s->acl, ACL_REVISION) ||
        !AllowFull(acl, s->system) || !AllowFull(acl, s->administrators) || !AllowFull(acl, user))
        return false;
    if (!InitializeSecurityDescriptor(&s->descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&s->descriptor, TRUE, acl, FALSE) ||
        !SetSecurityDescriptorControl(&s->descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
        return false;
    s->attributes = {sizeof s->attributes, &s->descriptor, FALSE};
    return true;
}

} // namespace

bool MakePrivateDirectory(const char* path)
{
    PrivateSecurity security;
    if (!MakeSecurity(&security))
        return false;
    if (CreateDirectoryA(path, &security.attributes))
        return true;
    if (GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        SetLastError(ERROR_ACCESS_DENIED); // a file or link in the folder's place
        return false;
    }
    return SetFileSecurityA(path, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, &security.descriptor) !=
           FALSE;
}

HANDLE CreatePrivateFile(const char* path, DWORD flagsAndAttributes)
{
    PrivateSecurity security;
    if (!MakeSecurity(&security))
        return INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 2; ++attempt) {
        HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, &security.attributes, CREATE_NEW,
                                  flagsAndAttributes, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS)
            return file;
        // A file of an earlier job, or one planted there: removed, never reused.
        if (!DeleteFileA(path))
            return INVALID_HANDLE_VALUE;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
}
