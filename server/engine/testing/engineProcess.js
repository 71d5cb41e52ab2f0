"use strict";
// Runs `node server.js` as the daemon does: the hand-off on standard input, JSON lines read
// from standard output, the log kept from standard error.

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
    const exited = new Promise((resolve) => child.on("exit", (code) => {
        waiters.splice(0).forEach((wake) => wake());
        resolve(code);
    }));
    child.stdin.write(JSON.stringify(handoff) + "\n");

    // Resolves with the first message that satisfies the test, or with null once the engine
    // has exited or the time is up.
    async function waitFor(test, timeoutMs = 20000) {
        const deadline = Date.now() + timeoutMs;
        let exitCode;
        exited.then((code) => { exitCode = code; });
        for (;;) {
            const found = messages.find(test);
            if (found || exitCode !== undefined || Date.now() > deadline) {
                return found || null;
            }
            await new Promise((wake) => {
                waiters.push(wake);
                setTimeout(wake, 100);
            });
        }
    }

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

module.exports = { spawnEngine, freePort };
