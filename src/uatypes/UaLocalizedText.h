#pragma once

#include "uatypes/UaString.h"

/// A text with its locale, for example "en" and "Objects".
class UaLocalizedText {
public:
    UaLocalizedText() = default;
    UaLocalizedText(const UaString& locale, const UaString& text);

    const UaString& locale() const { return m_locale; }
    const UaString& text() const { return m_text; }
    void setLocale(const UaString& locale) { m_locale = locale; }
    void setText(const UaString& text) { m_text = text; }
    bool isEmpty() const { return m_locale.isEmpty() && m_text.isEmpty(); }

    /// "<locale>|<text>", for example "en|Objects".
    UaString toFullString() const;

    friend bool operator==(const UaLocalizedText& a, const UaLocalizedText& b) = default;

private:
    UaString m_locale;
    UaString m_text;
};
