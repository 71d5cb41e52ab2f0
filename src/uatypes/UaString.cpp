#include "uatypes/UaString.h"

#include "uatypes/UaWideString.h"

#include <algorithm>
#include <cstring>
#include <new>

// The bytes follow the representation in the same allocation, NUL-terminated: one allocation
// per string, and no second pointer to follow when reading it.
struct UaString::Rep : UaSharedData {
    static Rep* create(std::string_view text)
    {
        void* memory = ::operator new(sizeof(Rep) + text.size() + 1);
        Rep* rep = new (memory) Rep(text.size());
        char* bytes = rep->data();
        if (!text.empty())
            std::memcpy(bytes, text.data(), text.size());
        bytes[text.size()] = '\0';
        return rep;
    }
    // Frees what create allocated, whatever size the compiler would pass.
    static void operator delete(void* memory) { ::operator delete(memory); }

    const char* data() const { return reinterpret_cast<const char*>(this + 1); }
    std::string_view view() const { return std::string_view(data(), length); }

    std::size_t length;

private:
    explicit Rep(std::size_t size)
        : length(size)
    {
    }
    char* data() { return reinterpret_cast<char*>(this + 1); }
};

template <> const UaSharedData* UaSharedRef<UaString::Rep>::initial() noexcept
{
    static const UaSharedData* const rep = uaImmortal(Representation::create(std::string_view()));
    return rep;
}

UaString::UaString(const char* utf8)
    : UaString(utf8 == nullptr ? std::string_view() : std::string_view(utf8))
{
}

UaString::UaString(const char* data, std::size_t length)
    : UaString(data == nullptr ? std::string_view() : std::string_view(data, length))
{
}

UaString::UaString(std::string_view utf8)
    : m_rep(utf8.empty() ? UaSharedRef<Rep>::initialRep() : Rep::create(utf8))
{
}

namespace {

std::string encodeCodeUnits(std::u16string_view units)
{
    std::string out;
    out.reserve(units.size() * 3);
    for (char16_t unit : units) {
        const unsigned u = unit;
        if (u < 0x80) {
            out.push_back(static_cast<char>(u));
        } else if (u < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (u >> 6)));
            out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (u >> 12)));
            out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
        }
    }
    return out;
}

} // namespace

UaString::UaString(const UaWideString& utf16)
    : UaString(std::string_view(encodeCodeUnits(utf16.view())))
{
}

const char* UaString::toUtf8() const { return m_rep->data(); }

std::string_view UaString::view() const { return m_rep->view(); }

std::size_t UaString::length() const { return m_rep->length; }

namespace {

struct Placeholder {
    std::size_t position;
    std::size_t width;
    int number;
};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

/// The placeholder starting at `pos`, if any: "%" and one or two digits giving 1 to 99.
bool placeholderAt(std::string_view text, std::size_t pos, Placeholder& found)
{
    if (text[pos] != '%' || pos + 1 >= text.size() || !isDigit(text[pos + 1]))
        return false;
    int number = text[pos + 1] - '0';
    std::size_t width = 2;
    if (pos + 2 < text.size() && isDigit(text[pos + 2])) {
        number = number * 10 + (text[pos + 2] - '0');
        width = 3;
    }
    if (number < 1)
        return false;
    found = { pos, width, number };
    return true;
}

} // namespace

UaString UaString::arg(const UaString& value) const
{
    const std::string_view text = view();
    int lowest = 100;
    Placeholder p {};
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (placeholderAt(text, i, p))
            lowest = std::min(lowest, p.number);
    }
    if (lowest == 100)
        return *this;

    std::string out;
    out.reserve(text.size() + value.length());
    for (std::size_t i = 0; i < text.size();) {
        if (placeholderAt(text, i, p) && p.number == lowest) {
            out.append(value.view());
            i += p.width;
        } else {
            out.push_back(text[i]);
            ++i;
        }
    }
    return UaString(std::string_view(out));
}

UaString operator+(const UaString& a, const UaString& b)
{
    if (b.isEmpty())
        return a;
    if (a.isEmpty())
        return b;
    std::string joined;
    joined.reserve(a.length() + b.length());
    joined.append(a.view()).append(b.view());
    return UaString(std::string_view(joined));
}

bool operator==(const UaString& a, const UaString& b) { return a.m_rep.get() == b.m_rep.get() || a.view() == b.view(); }

std::strong_ordering operator<=>(const UaString& a, const UaString& b)
{
    if (a.length() != b.length())
        return a.length() <=> b.length();
    if (a.length() == 0)
        return std::strong_ordering::equal;
    const int c = std::memcmp(a.toUtf8(), b.toUtf8(), a.length());
    return c <=> 0;
}
