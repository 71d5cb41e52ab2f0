#pragma once

#include <cstdint>
#include <string>

/// An OPC UA status code. Good when the two top bits are clear (below 0x40000000); any other
/// code (uncertain or bad) counts as failure.
class UaStatus {
public:
    static constexpr std::uint32_t Good = 0x00000000;
    static constexpr std::uint32_t Uncertain = 0x40000000;
    static constexpr std::uint32_t Bad = 0x80000000;
    static constexpr std::uint32_t BadOutOfMemory = 0x80030000;
    static constexpr std::uint32_t BadOutOfRange = 0x803C0000;
    static constexpr std::uint32_t BadNotImplemented = 0x80400000;
    static constexpr std::uint32_t BadNodeIdExists = 0x805E0000;
    static constexpr std::uint32_t BadTypeMismatch = 0x80740000;
    static constexpr std::uint32_t BadInvalidArgument = 0x80AB0000;

    constexpr UaStatus() = default;
    constexpr UaStatus(std::uint32_t code) // NOLINT: a code is a status
        : m_code(code)
    {
    }

    constexpr std::uint32_t code() const { return m_code; }
    constexpr bool isGood() const { return m_code < Uncertain; }
    constexpr bool isNotGood() const { return !isGood(); }

    /// The symbolic name ("Good", "BadOutOfRange", ...); a code without a known name is written
    /// as eight upper-case hexadecimal digits after "0x".
    std::string toString() const;

    friend constexpr bool operator==(UaStatus a, UaStatus b) { return a.m_code == b.m_code; }

private:
    std::uint32_t m_code = Good;
};
