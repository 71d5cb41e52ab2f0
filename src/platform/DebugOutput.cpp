#include "platform/DebugOutput.h"

#include <cstdio>
#include <mutex>
#include <string>

namespace platform {
namespace {

std::mutex& sinkMutex()
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
    std::lock_guard lock(sinkMutex());
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
    std::lock_guard lock(sinkMutex());
    currentSink() = std::move(sink);
}

ScopedDebugCapture::ScopedDebugCapture()
{
    std::lock_guard lock(sinkMutex());
    m_previous = currentSink();
    currentSink() = [this](std::string_view line) {
        m_text.append(line);
        m_text.push_back('\n');
    };
}

ScopedDebugCapture::~ScopedDebugCapture()
{
    std::lock_guard lock(sinkMutex());
    currentSink() = std::move(m_previous);
}

} // namespace platform
