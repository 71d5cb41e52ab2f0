"use strict";
// History kept by the daemon (hand-off "history": {"store": "daemon"}): every value of a
// historized variable goes to the daemon as a "value" message, and every raw history read of
// one is asked of the daemon as a "historyRead" with an id of its own, which the daemon's
// "historyData" answers. A read the daemon does not answer in time is answered BadTimeout; a
// late answer is then dropped.

const { StatusCodes } = require("node-opcua-status-code");
const { valueFields, dataValueFrom, timeText } = require("./historyValues");

const ANSWER_TIMEOUT_MS = 10000;
// Reads waiting for the daemon at once; more are refused rather than queued without end.
const MAX_PENDING_READS = 100;
const LOG_EVERY_MS = 60000;

// A log line that recurs is written at most once a minute, with how many were left out.
function throttled(write, everyMs = LOG_EVERY_MS, now = Date.now) {
    let last = null;
    let quiet = 0;
    return (line) => {
        if (last !== null && now() - last < everyMs) {
            quiet += 1;
            return;
        }
        write(quiet > 0 ? `${line} (${quiet} more like it not logged)` : line);
        last = now();
        quiet = 0;
    };
}

function nodeText(ref) {
    return `${ref.identifier} (${ref.namespaceUri})`;
}

// The StatusCode that an answer's status name stands for; null for a name it does not know.
function statusNamed(name) {
    const code = typeof name === "string" && Object.prototype.hasOwnProperty.call(StatusCodes, name) ? StatusCodes[name] : null;
    return code && typeof code.value === "number" ? code : null;
}

function createDaemonHistory({ send, log, timeoutMs = ANSWER_TIMEOUT_MS, maxPending = MAX_PENDING_READS }) {
    const pending = new Map();
    let nextId = 1;
    const logIncomplete = throttled((line) => log.warn(line));
    const logRefused = throttled((line) => log.warn(line));

    function record(ref, dataValue) {
        send({ type: "value", namespaceUri: ref.namespaceUri, identifier: ref.identifier, ...valueFields(dataValue) });
    }

    // Resolves with { statusCode, dataValues, continuationPoint } for the raw read `details`
    // (ReadRawModifiedDetails) of the variable `ref`; `continuationPoint` is the client's.
    function read(ref, details, continuationPoint) {
        if (pending.size >= maxPending) {
            logRefused(`history read of ${nodeText(ref)} refused: ${maxPending} reads wait for the daemon already (BadTooManyOperations)`);
            return Promise.resolve({ statusCode: StatusCodes.BadTooManyOperations, dataValues: [], continuationPoint: null });
        }
        const id = nextId;
        nextId += 1;
        send({
            type: "historyRead",
            id,
            namespaceUri: ref.namespaceUri,
            identifier: ref.identifier,
            start: timeText(details.startTime),
            end: timeText(details.endTime),
            maxValues: details.numValuesPerNode || 0,
            continuation: continuationPoint && continuationPoint.length > 0 ? continuationPoint.toString("utf8") : null,
        });
        return new Promise((resolve) => {
            const timer = setTimeout(() => {
                pending.delete(id);
                log.warn(`history read of ${nodeText(ref)} not answered by the daemon within ${timeoutMs / 1000} s (BadTimeout)`);
                resolve({ statusCode: StatusCodes.BadTimeout, dataValues: [], continuationPoint: null });
            }, timeoutMs);
            pending.set(id, { ref, resolve, timer });
        });
    }

    // Takes a "historyData" message of the daemon.
    function answer(message) {
        const request = pending.get(message.id);
        if (!request) {
            log.warn(`history: the daemon's answer to read ${message.id} came after its time was up, or was not asked for; dropped`);
            return;
        }
        pending.delete(message.id);
        clearTimeout(request.timer);
        let statusCode = statusNamed(message.status);
        if (!statusCode) {
            log.error(`history read of ${nodeText(request.ref)}: the daemon answered with the unknown status ${JSON.stringify(message.status)} (BadInternalError)`);
            statusCode = StatusCodes.BadInternalError;
        } else if (statusCode === StatusCodes.GoodResultsMayBeIncomplete) {
            logIncomplete(`history read of ${nodeText(request.ref)} answered from the daemon's spool alone, the history database being unreachable (GoodResultsMayBeIncomplete)`);
        }
        request.resolve({
            statusCode,
            dataValues: Array.isArray(message.values) ? message.values.map(dataValueFrom) : [],
            continuationPoint: typeof message.continuation === "string" ? Buffer.from(message.continuation, "utf8") : null,
        });
    }

    return { record, read, answer, pendingReads: () => pending.size };
}

module.exports = { createDaemonHistory, throttled };
