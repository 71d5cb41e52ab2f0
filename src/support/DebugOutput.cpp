#include "support/DebugOutput.h"

#include <cstdio>
#include <mutex>
#include <string>

namespace support {
namespace {

std::mutex& outputMutex()
{
    static std::mutex m;
    return m;
}

DebugSink& currentSink()
{
    static DebugSink sink;
    return sink;
}

} // namespace

void debugOutput(std::string_view line)
{
    std::lock_guard lock(outputMutex());
    if (currentSink()) {
        currentSink()(line);
        return;
    }
    std::string whole(line);
    whole.push_back('\n');
    std::fwrite(whole.data(), 1, whole.size(), stderr);
}

void setDebugSink(DebugSink sink)
{
    std::lock_guard lock(outputMutex());
    currentSink() = std::move(sink);
}

ScopedDebugCapture::ScopedDebugCapture()
{
    std::lock_guard lock(outputMutex());
    m_previous = currentSink();
    // Called under the output's lock, which text() takes too.
    currentSink() = [this](std::string_view line) {
        m_text.append(line);
        m_text.push_back('\n');
    };
}

ScopedDebugCapture::~ScopedDebugCapture()
{
    std::lock_guard lock(outputMutex());
    currentSink() = std::move(m_previous);
}

std::string ScopedDebugCapture::text() const
{
    std::lock_guard lock(outputMutex());
    return m_text;
}

} // namespace support
