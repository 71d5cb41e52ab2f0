#pragma once

/// What the main sheet offers its pages: the pending-flag requests that run from its
/// 500 ms one-shot timers. A request for an operation already pending is ignored.
class SheetServices {
public:
    virtual ~SheetServices() = default;
    virtual void RequestRestart() = 0;
    virtual void RequestStart() = 0;
    virtual void RequestStop() = 0;
};
