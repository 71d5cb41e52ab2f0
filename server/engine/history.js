"use strict";
// Historical values of the variables marked for history. The library asks a historian per
// variable to keep and return values; the historian here hands them to a history store: in
// memory, or the daemon's history database (daemonHistory.js). Variables not marked answer
// BadHistoryOperationUnsupported, which the library does by itself.

const { HistoryData, HistoryReadResult } = require("node-opcua-types");
const { StatusCodes } = require("node-opcua-status-code");
const { createDaemonHistory } = require("./daemonHistory");

const MIN_OPCUA_TIME = Date.UTC(1601, 0, 1);

// A store keeps the newest values of each variable, by key:
//   append(key, dataValue)
//   read(key, { startTime, endTime, maxValues, newestFirst }) -> DataValue[] in that order,
//       startTime and endTime inclusive, null for open; maxValues 0 for all.
function createMemoryStore(maxValuesPerNode) {
    const rings = new Map();

    function ringOf(key) {
        let ring = rings.get(key);
        if (!ring) {
            ring = { values: [], next: 0 };
            rings.set(key, ring);
        }
        return ring;
    }

    // Oldest first.
    function inOrder(ring) {
        return ring.values.length < maxValuesPerNode
            ? ring.values
            : ring.values.slice(ring.next).concat(ring.values.slice(0, ring.next));
    }

    return {
        append(key, dataValue) {
            const ring = ringOf(key);
            if (ring.values.length < maxValuesPerNode) {
                ring.values.push(dataValue);
            } else {
                ring.values[ring.next] = dataValue;
                ring.next = (ring.next + 1) % maxValuesPerNode;
            }
        },
        read(key, { startTime = null, endTime = null, maxValues = 0, newestFirst = false } = {}) {
            const ring = rings.get(key);
            if (!ring) {
                return [];
            }
            const values = inOrder(ring);
            const ordered = newestFirst ? values.slice().reverse() : values;
            const result = [];
            for (const value of ordered) {
                const time = timeOf(value);
                if ((startTime === null || time >= startTime.getTime()) && (endTime === null || time <= endTime.getTime())) {
                    result.push(value);
                    if (maxValues > 0 && result.length === maxValues) {
                        break;
                    }
                }
            }
            return result;
        },
    };
}

function timeOf(dataValue) {
    const stamp = dataValue.sourceTimestamp || dataValue.serverTimestamp;
    return stamp ? stamp.getTime() : 0;
}

function openOrDate(date) {
    return !date || date.getTime() <= MIN_OPCUA_TIME ? null : date;
}

// The library's historian interface for one variable, on top of a memory store.
function historianFor(store, key) {
    return {
        async push(dataValue) {
            store.append(key, dataValue.clone());
        },
        extractDataValues(details, maxNumberToExtract, isReversed, reverseDataValue, callback) {
            let values = store.read(key, {
                startTime: openOrDate(details.startTime),
                endTime: openOrDate(details.endTime),
                maxValues: maxNumberToExtract || 0,
                newestFirst: isReversed,
            });
            if (reverseDataValue) {
                values = values.reverse();
            }
            callback(null, values);
        },
    };
}

// The library's raw read of one variable, asked of the daemon. Its continuation points are the
// daemon's texts, so the daemon holds nothing for them and releasing them is done at once.
function readRawFromDaemon(daemon, ref) {
    return (context, details, indexRange, dataEncoding, continuationData, callback) => {
        if (continuationData.releaseContinuationPoints) {
            callback(null, new HistoryReadResult({ statusCode: StatusCodes.Good }));
            return;
        }
        daemon.read(ref, details, continuationData.continuationPoint).then((answer) => {
            callback(null, new HistoryReadResult({
                statusCode: answer.statusCode,
                continuationPoint: answer.continuationPoint,
                historyData: new HistoryData({ dataValues: answer.dataValues }),
            }));
        }, callback);
    };
}

// The store of the hand-off's "history": how it is described in the log, how it makes a
// variable historizing, and where the daemon's "historyData" answers go.
function createHistoryStore(history, { send, log }) {
    if (history.store === "daemon") {
        const daemon = createDaemonHistory({ send, log });
        return {
            description: "logged by the daemon",
            answer: daemon.answer,
            install(addressSpace, node, ref) {
                const historian = {
                    async push(dataValue) {
                        daemon.record(ref, dataValue);
                    },
                    extractDataValues(details, maxNumberToExtract, isReversed, reverseDataValue, callback) {
                        callback(null, []);
                    },
                };
                addressSpace.installHistoricalDataNode(node, { historian });
                node._historyReadRaw = readRawFromDaemon(daemon, ref);
                // The daemon keeps no modified values (the library would answer BadUnexpectedError).
                node._historyReadModify = (context, details, indexRange, dataEncoding, continuationData, callback) => {
                    callback(null, new HistoryReadResult({ statusCode: StatusCodes.BadHistoryOperationUnsupported }));
                };
            },
        };
    }
    const memory = createMemoryStore(history.maxValuesPerNode);
    return {
        description: `kept in memory, the newest ${history.maxValuesPerNode} values each`,
        answer: null,
        install(addressSpace, node, ref) {
            addressSpace.installHistoricalDataNode(node, { historian: historianFor(memory, `${ref.namespaceUri}|${ref.identifier}`) });
        },
    };
}

// Makes each variable of the hand-off's "historized" list historizing; returns how many.
function installHistory(addressSpace, historized, store, findNode, log) {
    let count = 0;
    for (const ref of historized) {
        const node = findNode(addressSpace, ref);
        if (!node || node.nodeClass !== 2 /* Variable */) {
            log.warn(`history: ${ref.nodeId} (${ref.namespaceUri}) is not a variable of the node configuration; not historized`);
            continue;
        }
        store.install(addressSpace, node, ref);
        count += 1;
    }
    return count;
}

module.exports = { createHistoryStore, createMemoryStore, historianFor, installHistory };
