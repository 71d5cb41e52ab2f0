// The value text forms of `reg add` and `reg query`: the first byte picks a type, the rest is
// the text of /d DATA, and, read the other way, the stored bytes that `reg query` shows. Data
// that reads must show as a text that reads back to the same bytes.
#include "tavox-admin/RegValueText.h"

#include "platform/Registry.h"
#include "support/TextCodec.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::uint32_t type = data[0] % 12;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    // Every stored value can be shown, whatever its type and size.
    const admin::Bytes stored(data + 1, data + size);
    const std::string line = admin::formatQueryLine(text.substr(0, text.size() % 16), type, stored);
    check(line.rfind("    ", 0) == 0);

    const auto parsedType = admin::parseAddType(text);
    check(!parsedType || *parsedType == platform::kRegSz || *parsedType == platform::kRegDword
        || *parsedType == platform::kRegBinary);

    for (const std::uint32_t addType : { platform::kRegSz, platform::kRegDword, platform::kRegBinary }) {
        const auto bytes = admin::parseAddData(addType, text);
        if (!bytes) {
            check(!bytes.error().message.empty());
            continue;
        }
        if (addType == platform::kRegDword)
            check(bytes->size() == 4);
        if (addType == platform::kRegSz) {
            check(bytes->size() == (support::utf8ToUtf16(text).size() + 1) * 2);
            // A text with a NUL shows up to the NUL, as the registry's own tools show it.
            if (text.find('\0') != std::string_view::npos)
                continue;
        }
        const std::string shown = admin::formatQueryData(addType, *bytes);
        const auto again = admin::parseAddData(addType, shown);
        check(static_cast<bool>(again));
        check(*again == *bytes);
    }
    return 0;
}
