// Reading and writing the broadcast-address list of Dwlmon.ini.
#include "discovery/broadcast_store.h"

#include <algorithm>
#include <cstdio>

#include "text/catalogue.h"

namespace {

const DWORD kPathSize = MAX_PATH + 32;
const DWORD kValueTextSize = 64;

} // namespace

bool BroadcastListPath(char* path, DWORD size)
{
    CataloguePath(kBroadcastListFile, path, size);
    return path[0] != '\0';
}

void LoadBroadcastList(BroadcastList* list)
{
    list->count = 0;
    char path[kPathSize];
    if (!BroadcastListPath(path, sizeof path))
        return;
    char text[kValueTextSize] = "";
    GetPrivateProfileStringA(kBroadcastListSection, kBroadcastCountKey, "", text, sizeof text, path);
    const size_t count = ParseUdpCount(text);
    for (size_t i = 0; i < count; ++i) {
        char key[kUdpKeySize];
        FormatUdpKey(i, key);
        text[0] = '\0';
        GetPrivateProfileStringA(kBroadcastListSection, key, "", text, sizeof text, path);
        list->addresses[list->count++] = ParseUdpAddress(text);
    }
}

bool SaveBroadcastList(const uint32_t* addresses, size_t count)
{
    char path[kPathSize];
    if (!BroadcastListPath(path, sizeof path))
        return false;
    count = std::min(count, kBroadcastListMax);
    char text[kValueTextSize] = "";
    GetPrivateProfileStringA(kBroadcastListSection, kBroadcastCountKey, "", text, sizeof text, path);
    const size_t oldCount = ParseStoredUdpCount(text);
    bool saved = true;
    if (count > 0) {
        snprintf(text, sizeof text, "%u", static_cast<unsigned>(count));
        saved = WritePrivateProfileStringA(kBroadcastListSection, kBroadcastCountKey, text, path) && saved;
    } else {
        // Deleting a key that is not there is no failure.
        WritePrivateProfileStringA(kBroadcastListSection, kBroadcastCountKey, nullptr, path);
    }
    for (size_t i = 0; i < std::max(oldCount, count); ++i) {
        char key[kUdpKeySize];
        FormatUdpKey(i, key);
        if (i < count) {
            char value[kUdpValueSize];
            FormatUdpAddress(addresses[i], value);
            saved = WritePrivateProfileStringA(kBroadcastListSection, key, value, path) && saved;
        } else {
            WritePrivateProfileStringA(kBroadcastListSection, key, nullptr, path);
        }
    }
    return saved;
}
