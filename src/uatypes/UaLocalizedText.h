#pragma once

#include "uatypes/UaString.h"

/// A text with its locale, for example "en" and "Objects".
class UaLocalizedText {
public:
    UaLocalizedText() = default;
    UaLocalizedText(const UaString& locale, const UaString& text);

    const UaString& text() const { return m_text; }

    /// "<locale>|<text>", for example "en|Objects".
    UaString toFullString() const;

    friend bool operator==(const UaLocalizedText& a, const UaLocalizedText& b) = default;

private:
    UaString m_locale;
    UaString m_text;
};
