// Fuzzes the text forms of the value types: node identifiers read from any text, written and
// read again; GUID and base64 texts; UTF-8 to UTF-16 and back; number texts; browse names.
// A broken round trip aborts, so that it is reported like a crash.

#include "uatypes/UaByteString.h"
#include "uatypes/UaGuid.h"
#include "uatypes/UaNodeId.h"
#include "uatypes/UaQualifiedName.h"
#include "uatypes/UaStatus.h"
#include "uatypes/UaString.h"
#include "uatypes/UaVariant.h"
#include "uatypes/UaWideString.h"

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

void checkNodeIdRoundTrip(const UaString& text)
{
    const UaNodeId id = UaNodeId::fromXmlString(text);
    const UaString written = id.toString();
    const UaNodeId again = UaNodeId::fromXmlString(written);
    check(id.toFullString().length() <= 256);
    check(id.identifierString().length() <= 254 || id.identifierType() == UaIdentifierType::String);

    if (id.identifierType() != UaIdentifierType::String) {
        check(again == id);
        return;
    }
    // The empty String in namespace 0 is written "s=", too short to read back; a String cut to
    // 256 bytes reads back as a prefix of itself.
    if (id.identifierText().isEmpty() && id.namespaceIndex() == 0) {
        check(again.isNull());
        return;
    }
    check(again.identifierType() == UaIdentifierType::String);
    check(again.namespaceIndex() == id.namespaceIndex());
    check(id.identifierText().view().starts_with(again.identifierText().view()));
    if (written.length() < 253)
        check(again == id);
}

void checkGuid(const UaString& text)
{
    UaGuid guid;
    if (guid.fromString(text).isNotGood()) {
        check(guid.isNull());
        return;
    }
    UaGuid again;
    check(again.fromString(guid.toString()).isGood());
    check(again == guid);
}

void checkBase64(const UaString& text)
{
    UaByteString bytes;
    if (bytes.fromBase64(text).isNotGood()) {
        check(bytes.isNull());
        return;
    }
    UaByteString again;
    check(again.fromBase64(bytes.toBase64()).isGood());
    check(again == bytes);
    check(!bytes.isNull());
}

void checkWideString(const UaString& text)
{
    const UaWideString wide(text);
    check(wide.length() <= text.length());
    const UaString back(wide);
    // Every code unit comes back as one to three bytes and converts again to itself.
    check(UaWideString(back) == wide);
}

void checkNumbers(const UaString& text)
{
    const UaBuiltInType targets[] = { UaBuiltInType::Boolean,
        UaBuiltInType::SByte,
        UaBuiltInType::Byte,
        UaBuiltInType::Int16,
        UaBuiltInType::UInt16,
        UaBuiltInType::Int32,
        UaBuiltInType::UInt32,
        UaBuiltInType::Int64,
        UaBuiltInType::UInt64,
        UaBuiltInType::Float,
        UaBuiltInType::Double };
    UaVariant original;
    original.setString(text);
    for (UaBuiltInType target : targets) {
        UaVariant value = original;
        const UaStatus status = value.changeType(target);
        if (status.isGood()) {
            check(value.type() == target);
            value.toString();
        } else {
            check(status == UaStatus::BadOutOfRange);
            check(value == original);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const UaString text(reinterpret_cast<const char*>(data), size);
    checkNodeIdRoundTrip(text);
    checkGuid(text);
    checkBase64(text);
    checkWideString(text);
    checkNumbers(text);
    UaQualifiedName::fromBrowseNameText(text).toFullString();
    UaString("%1|%2|%1").arg(text).arg(text);
    return 0;
}
