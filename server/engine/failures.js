"use strict";
// How a failure is reported to the daemon: its reason, and whether a restart could mend it.
// A hand-off, node configuration or certificate that is wrong, or a port that is taken or
// not allowed, stays so however often the engine restarts.

const { HandoffError } = require("./handoff");
const { NodeConfigError } = require("./addressSpace");
const { CertificateError } = require("./certificates");

const EXIT_PERMANENT = 2;
const EXIT_OTHER = 1;

function describeFailure(err, port) {
    if (err instanceof HandoffError || err instanceof NodeConfigError || err instanceof CertificateError) {
        return { reason: err.message, permanent: true };
    }
    if (err && err.code === "EADDRINUSE") {
        return { reason: `port ${port} is in use`, permanent: true };
    }
    if (err && err.code === "EACCES" && /listen/.test(err.message)) {
        return { reason: `port ${port} may not be bound by this user`, permanent: true };
    }
    return { reason: err && err.message ? err.message : String(err), permanent: false };
}

function exitCodeOf(failure) {
    return failure.permanent ? EXIT_PERMANENT : EXIT_OTHER;
}

module.exports = { describeFailure, exitCodeOf };
