#pragma once

class ServiceController;

/// What the main sheet offers its pages: the pending-flag requests that run from its
/// 500 ms one-shot timers (a request for an operation already pending is ignored), and the
/// sheet's service controller.
class SheetServices {
public:
    virtual ~SheetServices() = default;
    virtual void RequestRestart() = 0;
    /// A page refused its settings during the sheet's apply: the restart question of that
    /// apply is answered No and its reminder is not shown. Requests from other applies, and
    /// from outside any apply, are not affected.
    virtual void DeclineRestart() {}
    virtual void RequestStart() = 0;
    virtual void RequestStop() = 0;
    /// The sheet's controller of the server service; null where there is none.
    virtual ServiceController* Service() { return nullptr; }
    /// Completes, on every page, the changes left to the Status page's apply (the node
    /// configuration file's write-back), so that the Status page needs to know no other page.
    virtual void CompletePendingWrites() {}
};
