#pragma once

#include "support/DebugOutput.h"

#include <string>

/// The communication stack's trace facility as the nodeset reader uses it: error lines that are
/// written to the process-wide debug output only when the process-wide trace level is raised to
/// the line's level or above. The level starts at 0, so nothing is written unless someone
/// raises it. Any thread may write.
class UaTrace {
public:
    static int traceLevel();
    static void setTraceLevel(int level);

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

    /// Every line written so far, each followed by '\n'.
    std::string lines() const { return m_capture.text(); }

private:
    int m_previousLevel;
    support::ScopedDebugCapture m_capture;
};
