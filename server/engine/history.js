"use strict";
// Historical values of the variables marked for history. The library asks a historian per
// variable to keep and return values; the historian here hands them to a history store, so
// that the store can change (memory now, the daemon's history database later) without
// touching the address space. Variables not marked answer BadHistoryOperationUnsupported,
// which the library does by itself.

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

function createHistoryStore(history) {
    // Only the memory store exists so far; the hand-off refuses any other.
    return createMemoryStore(history.maxValuesPerNode);
}

// The library's historian interface for one variable, on top of a store.
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

// Makes each variable of the hand-off's "historized" list historizing; returns how many.
function installHistory(addressSpace, historized, store, findNode, log) {
    let count = 0;
    for (const ref of historized) {
        const node = findNode(addressSpace, ref);
        if (!node || node.nodeClass !== 2 /* Variable */) {
            log.warn(`history: ${ref.nodeId} (${ref.namespaceUri}) is not a variable of the node configuration; not historized`);
            continue;
        }
        addressSpace.installHistoricalDataNode(node, { historian: historianFor(store, `${ref.namespaceUri}|${ref.identifier}`) });
        count += 1;
    }
    return count;
}

module.exports = { createHistoryStore, createMemoryStore, historianFor, installHistory };
