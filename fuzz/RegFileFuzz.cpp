// Any bytes as a registry file for `reg import`: read, written as `reg export` writes it and read
// again. What reads must come back the same; a difference aborts, so that it is reported like a
// crash.
#include "tavox-admin/RegFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

bool sameValue(const admin::RegFileValue& a, const admin::RegFileValue& b)
{
    return a.name == b.name && a.remove == b.remove && (a.remove || (a.type == b.type && a.data == b.data));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const admin::Bytes content(data, data + size);
    const auto keys = admin::parseRegFile(content);
    if (!keys) {
        check(!keys.error().message.empty());
        return 0;
    }
    for (const admin::RegFileKey& key : *keys) {
        check(!key.key.subKey.empty());
        check(key.key.subKey.find('\0') == std::string::npos);
        for (const admin::RegFileValue& value : key.values)
            check(value.name.find('\0') == std::string::npos);
    }
    const auto written = admin::formatRegFile(*keys);
    if (!written)
        return 0;
    const auto again = admin::parseRegFile(*written);
    check(static_cast<bool>(again));
    check(again->size() == keys->size());
    for (std::size_t i = 0; i < keys->size(); ++i) {
        const admin::RegFileKey& before = (*keys)[i];
        const admin::RegFileKey& after = (*again)[i];
        check(before.key.hive == after.key.hive && before.key.subKey == after.key.subKey);
        check(before.values.size() == after.values.size());
        for (std::size_t j = 0; j < before.values.size(); ++j)
            check(sameValue(before.values[j], after.values[j]));
    }
    return 0;
}
