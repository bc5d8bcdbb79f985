// Fuzzes the monitor name and key builders.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "monitor/monitor_name.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const size_t nameSize = data[0] % 64 == 0 ? 320 : data[0] % 64; // small sizes and the callers' one
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    const char* path = text.c_str();

    std::unique_ptr<char[]> name(new char[nameSize + 1]);
    std::memset(name.get(), 'Z', nameSize + 1);
    const bool ok = BuildMonitorName(path, name.get(), nameSize);
    Check(name[nameSize] == 'Z');
    const size_t nameLength = std::strlen(name.get());
    Check(nameLength < nameSize);
    const char* slash = std::strrchr(path, '\\');
    if (ok) {
        Check(slash != nullptr && slash != path);
        const size_t fileLength = std::strlen(slash + 1);
        const size_t model = fileLength > 7 ? fileLength - 7 : 0;
        Check(std::string(name.get()) == std::string(slash + 1, model) + MONITOR_NAME_SUFFIX);
    } else {
        Check(nameLength == 0);
    }

    const size_t keySize = data[0] % 2 ? 400 : 120;
    std::unique_ptr<char[]> monitorKey(new char[keySize + 1]);
    std::unique_ptr<char[]> portsKey(new char[keySize + 1]);
    monitorKey[keySize] = portsKey[keySize] = 'Z';
    if (BuildMonitorKeys(path, monitorKey.get(), keySize, portsKey.get(), keySize)) {
        Check(path[0] != '\0');
        Check(std::string(monitorKey.get()) == std::string(MONITORS_KEY "\\") + path);
        Check(std::string(portsKey.get()) == std::string(monitorKey.get()) + "\\Ports");
    } else {
        Check(monitorKey[0] == '\0' && portsKey[0] == '\0');
    }
    Check(monitorKey[keySize] == 'Z' && portsKey[keySize] == 'Z');

    // Port key: the input split at its first comma.
    const size_t comma = text.find(',');
    const std::string ports = text.substr(0, comma);
    const std::string port = comma == std::string::npos ? std::string() : text.substr(comma + 1);
    std::unique_ptr<char[]> portKey(new char[nameSize + 1]);
    portKey[nameSize] = 'Z';
    if (BuildPortKey(ports.c_str(), port.c_str(), portKey.get(), nameSize)) {
        Check(!ports.empty() && port[0] != '\0');
        Check(std::string(portKey.get()) == std::string(ports.c_str()) + "\\" + port.c_str());
    } else if (nameSize > 0) {
        Check(portKey[0] == '\0');
    }
    Check(portKey[nameSize] == 'Z');
    return 0;
}
