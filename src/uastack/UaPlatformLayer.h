#pragma once

/// Start-up and release of the OPC UA stack. This product carries no communication stack,
/// so both only succeed; the calls stay so that start-up and teardown keep their order.
class UaPlatformLayer {
public:
    /// 0 on success.
    static int init();
    static void cleanup();
};
