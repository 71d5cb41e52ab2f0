#pragma once

// Readable GoogleTest output for the value types: found by argument-dependent lookup.

#include "uatypes/UaByteString.h"
#include "uatypes/UaNodeId.h"
#include "uatypes/UaStatus.h"
#include "uatypes/UaString.h"
#include "uatypes/UaVariant.h"
#include "uatypes/UaWideString.h"

#include <ostream>
#include <string>

inline void PrintTo(const UaString& s, std::ostream* os) { *os << '"' << s.view() << '"'; }

inline void PrintTo(const UaNodeId& id, std::ostream* os) { *os << id.toFullString().view(); }

inline void PrintTo(UaStatus status, std::ostream* os) { *os << status.toString(); }

inline void PrintTo(const UaByteString& bytes, std::ostream* os)
{
    if (bytes.isNull())
        *os << "(null)";
    else
        *os << "0x" << bytes.toHex(bytes.view().size()).view();
}

inline void PrintTo(const UaVariant& value, std::ostream* os)
{
    *os << "type " << static_cast<int>(value.type()) << (value.isArray() ? " array " : " ") << value.toString().view();
}

inline void PrintTo(const UaWideString& s, std::ostream* os)
{
    *os << "u\"";
    for (char16_t c : s.view()) {
        if (c >= 0x20 && c < 0x7F)
            *os << static_cast<char>(c);
        else
            *os << "\\u" << std::hex << static_cast<unsigned>(c) << std::dec;
    }
    *os << '"';
}
