#include "uatypes/UaStatus.h"

#include <array>
#include <cstdio>
#include <utility>

namespace {

struct NamedCode {
    std::uint32_t code;
    const char* name;
};

constexpr std::array<NamedCode, 9> kNames { {
    { UaStatus::Good, "Good" },
    { UaStatus::Uncertain, "Uncertain" },
    { UaStatus::Bad, "Bad" },
    { UaStatus::BadOutOfMemory, "BadOutOfMemory" },
    { UaStatus::BadOutOfRange, "BadOutOfRange" },
    { UaStatus::BadNotImplemented, "BadNotImplemented" },
    { UaStatus::BadNodeIdExists, "BadNodeIdExists" },
    { UaStatus::BadTypeMismatch, "BadTypeMismatch" },
    { UaStatus::BadInvalidArgument, "BadInvalidArgument" },
} };

} // namespace

std::string UaStatus::toString() const
{
    for (const NamedCode& named : kNames) {
        if (named.code == m_code)
            return named.name;
    }
    std::array<char, 16> text {};
    std::snprintf(text.data(), text.size(), "0x%08X", static_cast<unsigned>(m_code));
    return text.data();
}
