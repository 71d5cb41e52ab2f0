#pragma once

/// How long the sheet's timers wait, handed to the sheet like its sleeper: the utility runs with
/// these defaults, tests with short ones, so that they do not wait in real time.
struct SheetDelays {
    /// "-1" on the command line hides the sheet this long after it opens.
    int hideMs = 1000;
    /// Between two looks at the service's state.
    int statusPollMs = 1500;
    /// A start, stop or restart runs this long after it was asked for; asking again meanwhile
    /// runs it once.
    int operationDelayMs = 500;
};
