#include "uatypes/UaLocalizedText.h"

UaLocalizedText::UaLocalizedText(const UaString& locale, const UaString& text)
    : m_locale(locale)
    , m_text(text)
{
}

UaString UaLocalizedText::toFullString() const
{
    // Joined directly rather than by two arg() calls in a row: a second call would replace a
    // placeholder that the locale itself contains.
    return m_locale + UaString("|") + m_text;
}
