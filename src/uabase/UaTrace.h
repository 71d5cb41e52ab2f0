#pragma once

#include <functional>
#include <string>

/// The communication stack's trace facility as the nodeset reader uses it: error lines that are
/// written only when the process-wide trace level is raised to the line's level or above. The
/// level starts at 0, so nothing is written unless someone raises it.
class UaTrace {
public:
    using Sink = std::function<void(const std::string& line)>;

    static int traceLevel();
    static void setTraceLevel(int level);
    /// Where written lines go; an empty sink restores standard error.
    static void setSink(Sink sink);

    /// Formats and writes one error line when the trace level is at least `level`.
    [[gnu::format(printf, 2, 3)]] static void error(int level, const char* format, ...);
};

/// Raises the trace level and collects the written lines for the lifetime of the object.
class ScopedTraceCapture {
public:
    explicit ScopedTraceCapture(int level);
    ~ScopedTraceCapture();
    ScopedTraceCapture(const ScopedTraceCapture&) = delete;
    ScopedTraceCapture& operator=(const ScopedTraceCapture&) = delete;

    const std::string& lines() const { return m_lines; }

private:
    int m_previousLevel;
    std::string m_lines;
};
