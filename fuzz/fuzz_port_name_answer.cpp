// Fuzzes the walk of an internal-port-name answer: it reads no byte past the
// length it is given (the answer is copied to a buffer of exactly that
// size), every queue name it offers comes from the answer-name map for a
// name of at most 31 bytes that the answer holds, and there are never more
// queue names than names.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "discovery/port_name_codec.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

bool Known(const char* queue)
{
    for (const char* name : {"lp", "lp_p1", "lp_p2", "lp_s1", "lp_s2"})
        if (strcmp(name, queue) == 0)
            return true;
    return false;
}

QueueNameList g_list;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const size_t length = size < kPortNameAnswerMax ? size : kPortNameAnswerMax;
    std::vector<uint8_t> answer(data, data + length); // exactly `length` bytes: ASan sees an overread
    MapAnswerNames(answer.data(), answer.size(), &g_list);
    size_t names = 0;
    for (size_t i = 1; i < length;) {
        if (answer[i] == 0) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < length && answer[end])
            ++end;
        if (end - i <= kPortNameMaxLength && MapPortName(reinterpret_cast<const char*>(&answer[i]), end - i))
            ++names;
        i = end + 1;
    }
    Check(g_list.count == names);
    for (size_t i = 0; i < g_list.count; ++i)
        Check(Known(g_list.names[i]));
    return 0;
}
