"use strict";
// Runs `node server.js` as the daemon does: the hand-off on standard input, JSON lines read
// from standard output, the log kept from standard error. Runs tavox-server as the service
// manager does, its log kept line by line.

const { spawn } = require("child_process");
const net = require("net");
const path = require("path");
const readline = require("readline");

const SERVER = path.join(__dirname, "..", "server.js");

function freePort() {
    return new Promise((resolve, reject) => {
        const probe = net.createServer();
        probe.once("error", reject);
        probe.listen(0, () => {
            const { port } = probe.address();
            probe.close(() => resolve(port));
        });
    });
}

// The process's end (its output read whole), and a wait for the first of `items` that
// satisfies a test: it resolves with that item, or with null once the process has ended or
// the time is up. Whoever adds to `items` wakes the `waiters`.
function watch(child, items, waiters) {
    let exitCode;
    const exited = new Promise((resolve) => child.on("close", (code, signal) => {
        exitCode = code === null ? signal : code;
        waiters.splice(0).forEach((wake) => wake());
        resolve(exitCode);
    }));
    async function waitFor(test, timeoutMs = 20000) {
        const deadline = Date.now() + timeoutMs;
        for (;;) {
            const found = items.find(test);
            if (found || exitCode !== undefined || Date.now() > deadline) {
                return found || null;
            }
            await new Promise((wake) => {
                waiters.push(wake);
                setTimeout(wake, 100);
            });
        }
    }
    return { exited, waitFor };
}

function spawnEngine(handoff, env = {}) {
    const child = spawn(process.execPath, [SERVER], { stdio: ["pipe", "pipe", "pipe"], env: { ...process.env, ...env } });
    const messages = [];
    const waiters = [];
    let log = "";
    child.stderr.on("data", (chunk) => { log += chunk; });
    readline.createInterface({ input: child.stdout }).on("line", (line) => {
        messages.push(JSON.parse(line));
        waiters.splice(0).forEach((wake) => wake());
    });
    const { exited, waitFor } = watch(child, messages, waiters);
    child.stdin.write(JSON.stringify(handoff) + "\n");

    return {
        pid: child.pid,
        messages,
        waitFor,
        exited,
        log: () => log,
        // A message of the daemon's after the hand-off.
        send(message) {
            child.stdin.write(JSON.stringify(message) + "\n");
        },
        async stop() {
            child.stdin.end();
            return exited;
        },
        async terminate() {
            child.kill("SIGTERM");
            return exited;
        },
    };
}

// tavox-server (`program`) on the environment plus `env`, without NOTIFY_SOCKET; `waitForLine`
// takes a regular expression or a text that the line contains.
function spawnDaemon(program, env) {
    const child = spawn(program, [], { stdio: ["ignore", "ignore", "pipe"], env: { ...process.env, ...env } });
    const lines = [];
    const waiters = [];
    readline.createInterface({ input: child.stderr }).on("line", (line) => {
        lines.push(line);
        waiters.splice(0).forEach((wake) => wake());
    });
    const { exited, waitFor } = watch(child, lines, waiters);
    const matches = (pattern) => (line) => (typeof pattern === "string" ? line.includes(pattern) : pattern.test(line));
    return {
        lines,
        exited,
        log: () => lines.join("\n"),
        waitForLine: (pattern, timeoutMs = 40000) => waitFor(matches(pattern), timeoutMs),
        async terminate() {
            child.kill("SIGTERM");
            return exited;
        },
    };
}

module.exports = { spawnEngine, spawnDaemon, freePort };
