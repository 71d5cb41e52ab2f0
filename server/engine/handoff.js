"use strict";
// The hand-off: the first line the daemon writes, everything the engine serves. It is checked
// whole before anything starts, so that a bad field is named instead of failing half-way.

const path = require("path");

class HandoffError extends Error {}

const DIGEST = /^[0-9a-f]{32}$/;
const HOST_NAME = /^[A-Za-z0-9][A-Za-z0-9._-]*$/;
const NODE_IDENTIFIER = /^(i=\d+|s=.+|g=[0-9A-Fa-f-]{36}|b=.*)$/s;
const LIMITS = ["highHigh", "high", "low", "lowLow"];
const HISTORY_STORES = ["memory", "daemon"];

function fail(where, what) {
    throw new HandoffError(`hand-off: "${where}" ${what}`);
}

function objectAt(value, where) {
    if (value === null || typeof value !== "object" || Array.isArray(value)) {
        fail(where, "must be an object");
    }
    return value;
}

function arrayAt(value, where) {
    if (!Array.isArray(value)) {
        fail(where, "must be an array");
    }
    return value;
}

function stringAt(value, where) {
    if (typeof value !== "string" || value === "") {
        fail(where, "must be a non-empty string");
    }
    return value;
}

function booleanAt(value, where) {
    if (typeof value !== "boolean") {
        fail(where, "must be true or false");
    }
    return value;
}

function absolutePathAt(value, where) {
    stringAt(value, where);
    if (!path.isAbsolute(value)) {
        fail(where, "must be an absolute path");
    }
    return value;
}

function digestAt(value, where) {
    if (typeof value !== "string" || !DIGEST.test(value)) {
        fail(where, "must be 32 lowercase hexadecimal characters");
    }
    return value;
}

function digitTableAt(value, where) {
    if (typeof value !== "string" || value.length !== 10 || [...value].sort().join("") !== "0123456789") {
        fail(where, "must hold each of the ten digits once");
    }
    return value;
}

function portAt(value, where) {
    if (!Number.isInteger(value) || value < 1 || value > 65535) {
        fail(where, "must be a port number from 1 to 65535");
    }
    return value;
}

function userAt(value, where) {
    const user = objectAt(value, where);
    const name = stringAt(user.name, `${where}.name`);
    // The user table holds names of at most 31 eight-bit characters.
    if (name.length > 31 || /[^\u0001-\u00ff]/.test(name)) {
        fail(`${where}.name`, "must be at most 31 characters from U+0001 to U+00FF");
    }
    return {
        name,
        digest: digestAt(user.digest, `${where}.digest`),
        read: booleanAt(user.read, `${where}.read`),
        write: booleanAt(user.write, `${where}.write`),
        execute: booleanAt(user.execute, `${where}.execute`),
    };
}

function nodeRefAt(value, where) {
    const ref = objectAt(value, where);
    const identifier = stringAt(ref.identifier, `${where}.identifier`);
    if (!NODE_IDENTIFIER.test(identifier)) {
        fail(`${where}.identifier`, "must be a node identifier such as \"s=Name\" or \"i=1001\"");
    }
    return {
        nodeId: stringAt(ref.nodeId, `${where}.nodeId`),
        namespaceUri: stringAt(ref.namespaceUri, `${where}.namespaceUri`),
        identifier,
    };
}

function alarmAt(value, where) {
    const alarm = { ...nodeRefAt(value, where), dataType: stringAt(value.dataType, `${where}.dataType`) };
    const kind = value.kind;
    if (kind !== "level" && kind !== "offNormal") {
        fail(`${where}.kind`, "must be \"level\" or \"offNormal\"");
    }
    alarm.kind = kind;
    if (kind === "level") {
        for (const limit of LIMITS) {
            if (value[limit] === undefined) {
                continue;
            }
            if (typeof value[limit] !== "number" || !Number.isFinite(value[limit])) {
                fail(`${where}.${limit}`, "must be a number");
            }
            alarm[limit] = value[limit];
        }
    }
    return alarm;
}

function historyAt(value) {
    if (value === undefined) {
        return { store: "memory", maxValuesPerNode: 10000 };
    }
    const history = objectAt(value, "history");
    if (!HISTORY_STORES.includes(history.store)) {
        fail("history.store", `must be one of ${HISTORY_STORES.map((s) => `"${s}"`).join(", ")}`);
    }
    const max = history.maxValuesPerNode === undefined ? 10000 : history.maxValuesPerNode;
    if (!Number.isInteger(max) || max < 1) {
        fail("history.maxValuesPerNode", "must be a positive whole number");
    }
    return { store: history.store, maxValuesPerNode: max };
}

function pkiAt(value) {
    const pki = objectAt(value, "pki");
    return {
        root: absolutePathAt(pki.root, "pki.root"),
        userRoot: absolutePathAt(pki.userRoot, "pki.userRoot"),
        certificateFile: absolutePathAt(pki.certificateFile, "pki.certificateFile"),
        privateKeyFile: absolutePathAt(pki.privateKeyFile, "pki.privateKeyFile"),
    };
}

// Returns the checked hand-off, or throws a HandoffError that names the first bad field.
function parseHandoff(message) {
    const handoff = objectAt(message, "hand-off");
    if (handoff.type !== "configure") {
        fail("type", "must be \"configure\"");
    }
    const hostName = stringAt(handoff.hostName, "hostName");
    if (!HOST_NAME.test(hostName)) {
        fail("hostName", "must be a computer name (letters, digits, '.', '-', '_')");
    }
    const logon = objectAt(handoff.logon, "logon");
    return {
        hostName,
        port: portAt(handoff.port, "port"),
        applicationUri: stringAt(handoff.applicationUri, "applicationUri"),
        securityNone: booleanAt(handoff.securityNone, "securityNone"),
        logon: {
            anonymous: booleanAt(logon.anonymous, "logon.anonymous"),
            certificate: booleanAt(logon.certificate, "logon.certificate"),
        },
        digitTable: digitTableAt(handoff.digitTable, "digitTable"),
        users: arrayAt(handoff.users, "users").map((u, i) => userAt(u, `users[${i}]`)),
        rootDigest: handoff.rootDigest === null ? null : digestAt(handoff.rootDigest, "rootDigest"),
        nodeConfig: absolutePathAt(handoff.nodeConfig, "nodeConfig"),
        alarms: arrayAt(handoff.alarms, "alarms").map((a, i) => alarmAt(a, `alarms[${i}]`)),
        historized: arrayAt(handoff.historized, "historized").map((h, i) => nodeRefAt(h, `historized[${i}]`)),
        history: historyAt(handoff.history),
        pki: pkiAt(handoff.pki),
    };
}

module.exports = { parseHandoff, HandoffError };
