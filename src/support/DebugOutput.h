#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace support {

/// Writes one diagnostic line to the process-wide debug output (standard error unless a sink
/// is installed). The line is written whole, a newline added; any thread may call it, and the
/// lines of several threads never interleave.
void debugOutput(std::string_view line);

/// The sink that receives every diagnostic line, called under the output's lock (one line at a
/// time); an empty function restores standard error.
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
    std::string text() const;
    bool contains(std::string_view line) const { return text().find(line) != std::string::npos; }

private:
    std::string m_text;
    DebugSink m_previous;
};

} // namespace support
