#include "uareader/UaTrace.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <vector>

namespace {

std::atomic<int> g_traceLevel { 0 };

} // namespace

int UaTrace::traceLevel() { return g_traceLevel.load(std::memory_order_relaxed); }

void UaTrace::setTraceLevel(int level) { g_traceLevel.store(level, std::memory_order_relaxed); }

void UaTrace::error(int level, const char* format, ...)
{
    if (traceLevel() < level) {
        return;
    }
    va_list arguments;
    va_start(arguments, format);
    va_list copy;
    va_copy(copy, arguments);
    const int size = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string line;
    if (size > 0) {
        std::vector<char> buffer(static_cast<std::size_t>(size) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format, arguments);
        line.assign(buffer.data(), static_cast<std::size_t>(size));
    }
    va_end(arguments);
    support::debugOutput(line);
}

ScopedTraceCapture::ScopedTraceCapture(int level)
    : m_previousLevel(UaTrace::traceLevel())
{
    UaTrace::setTraceLevel(level);
}

ScopedTraceCapture::~ScopedTraceCapture() { UaTrace::setTraceLevel(m_previousLevel); }
