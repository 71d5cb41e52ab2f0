#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace platform {

/// Writes one diagnostic line to the process-wide debug output (standard error unless a
/// sink is installed). The line is written whole; a trailing newline is added.
void debugOutput(std::string_view line);

/// The sink that receives every diagnostic line; an empty function restores standard error.
using DebugSink = std::function<void(std::string_view)>;
void setDebugSink(DebugSink sink);

/// Collects the diagnostic lines written while it lives (for tests); restores the previous sink.
class ScopedDebugCapture {
public:
    ScopedDebugCapture();
    ~ScopedDebugCapture();
    ScopedDebugCapture(const ScopedDebugCapture&) = delete;
    ScopedDebugCapture& operator=(const ScopedDebugCapture&) = delete;

    /// Every captured line, each followed by '\n'.
    const std::string& text() const { return m_text; }
    bool contains(std::string_view line) const { return m_text.find(line) != std::string::npos; }

private:
    std::string m_text;
    DebugSink m_previous;
};

} // namespace platform
