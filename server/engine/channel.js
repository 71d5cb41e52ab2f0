"use strict";
// The channel to the daemon: one JSON object per line, each with a "type"; standard input
// from the daemon, standard output to it.

const readline = require("readline");

function createChannel({ input = process.stdin, output = process.stdout, log }) {
    const handlers = { message: () => {}, close: () => {} };
    const lines = readline.createInterface({ input, crlfDelay: Infinity });

    lines.on("line", (line) => {
        if (line.trim() === "") {
            return;
        }
        let message;
        try {
            message = JSON.parse(line);
        } catch (err) {
            log.warn(`channel: a line from the daemon is not JSON (${err.message}); ignored`);
            return;
        }
        if (message === null || typeof message !== "object" || Array.isArray(message)) {
            log.warn("channel: a line from the daemon is not a JSON object; ignored");
            return;
        }
        handlers.message(message);
    });
    lines.on("close", () => handlers.close());
    // Standard output fails when the daemon is gone: the same as standard input closing.
    output.on("error", (err) => {
        log.warn(`channel: the daemon no longer reads (${err.code || err.message})`);
        handlers.close();
    });

    return {
        onMessage(handler) {
            handlers.message = handler;
        },
        onClose(handler) {
            handlers.close = handler;
        },
        send(message) {
            output.write(JSON.stringify(message) + "\n");
        },
        // Resolves once the output has been handed to the operating system, so that a
        // message written just before exiting reaches the daemon.
        flush() {
            return new Promise((resolve) => output.write("", resolve));
        },
        close() {
            lines.close();
        },
    };
}

module.exports = { createChannel };
