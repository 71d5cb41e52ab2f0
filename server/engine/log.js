"use strict";
// The engine's log: one line per event on standard error, which the daemon copies into its
// own log. Standard output is the channel to the daemon, so nothing else may write there:
// the OPC UA library's own messages (it prints with console.log) are routed here too.

const util = require("util");

const ANSI_ESCAPES = /\x1b\[[0-9;]*m/g;

function oneLine(text) {
    return String(text).replace(ANSI_ESCAPES, "").replace(/\s*\n\s*/g, " | ").trim();
}

function createLog(stream = process.stderr) {
    const write = (prefix, text) => {
        const line = oneLine(text);
        if (line) {
            stream.write(prefix + line + "\n");
        }
    };
    return {
        info: (text) => write("", text),
        warn: (text) => write("warning: ", text),
        error: (text) => write("error: ", text),
    };
}

// The library's warning about RSA PKCS#1 v1.5 on this Node.js is replaced by the engine's own
// line about Basic128Rsa15 (see endpoints.js).
const SILENCED_LIBRARY_SOURCES = new Set(["verify_pcks1"]);

// Routes console output and node-opcua's loggers into the log. Returns a record of the last
// error the nodeset loader reported, which names the cause when a node configuration file
// does not load.
function routeLibraryOutput(log) {
    const state = { loaderError: null };
    const format = (args) => util.format(...args);
    console.log = (...args) => log.info(`node-opcua: ${format(args)}`);
    console.info = console.log;
    console.debug = console.log;
    console.warn = (...args) => log.warn(`node-opcua: ${format(args)}`);
    console.error = (...args) => log.error(`node-opcua: ${format(args)}`);

    const debug = require("node-opcua-debug");
    debug.setWarningLogger((context, ...args) => {
        if (!SILENCED_LIBRARY_SOURCES.has(context.filename)) {
            log.warn(`node-opcua: ${format(args)}`);
        }
    });
    debug.setErrorLogger((context, ...args) => {
        const text = oneLine(format(args));
        if (context.filename === "generateAddressSpaceRaw") {
            state.loaderError = text;
        }
        log.error(`node-opcua: ${text}`);
    });
    debug.setDebugLogger(() => {});
    debug.setTraceLogger(() => {});
    return state;
}

module.exports = { createLog, routeLibraryOutput, oneLine };
