"use strict";
// A stand-in for the engine in the daemon's tests, on the same channel: it reads the hand-off
// from standard input, reports on standard output and logs on standard error. What it does is
// chosen by TAVOX_FAKE_ENGINE:
//   listen    listens on the hand-off's port, reports "listening" and one alarm (the default)
//   fail      reports a failure that a restart cannot mend and exits 2
//   exit      logs why and exits 1 before it listens
//   crash     listens, then exits 1 a moment later, every time it runs
//   fail-late listens, then a moment later reports a failure that a restart cannot mend
//   silent    never reports
//   stubborn  listens and ignores SIGTERM
// With TAVOX_FAKE_ENGINE_ONCE set to a file name, the mode holds for the run that creates the
// file; later runs listen.

const fs = require("fs");
const net = require("net");
const readline = require("readline");

let mode = process.env.TAVOX_FAKE_ENGINE || "listen";
const once = process.env.TAVOX_FAKE_ENGINE_ONCE;
if (once) {
    try {
        fs.writeFileSync(once, "", { flag: "wx" });
    } catch (err) {
        mode = "listen";
    }
}

const send = (message) => process.stdout.write(JSON.stringify(message) + "\n");
const log = (line) => process.stderr.write(line + "\n");

function listen(handOff, then) {
    const server = net.createServer((socket) => socket.end());
    server.on("error", (err) => {
        send({ type: "failed", reason: `port ${handOff.port} is in use`, permanent: true });
        log(`error: ${err.message}`);
        process.exit(2);
    });
    server.listen(handOff.port, () => {
        const url = `opc.tcp://${handOff.hostName}:${handOff.port}`;
        send({ type: "listening", endpoints: [{ url, securityMode: "None", securityPolicy: "None" }] });
        for (const alarm of handOff.alarms.slice(0, 1)) {
            send({ type: "alarm", nodeId: alarm.nodeId, state: "High", value: 91.5 });
        }
        then();
    });
}

const lines = readline.createInterface({ input: process.stdin });
lines.once("line", (line) => {
    const handOff = JSON.parse(line);
    const users = handOff.users.map((u) => `${u.name}:${u.read ? "r" : "-"}${u.write ? "w" : "-"}${u.execute ? "x" : "-"}`);
    log(`hand-off: port ${handOff.port}, users ${users.join(" ") || "none"}, ${handOff.alarms.length} alarms, ` +
        `${handOff.historized.length} historized, pki ${handOff.pki.root}`);
    switch (mode) {
    case "fail":
        send({ type: "failed", reason: "the node configuration does not load", permanent: true });
        process.exit(2);
        break;
    case "exit":
        log("error: cannot load the OPC UA library");
        process.exit(1);
        break;
    case "silent":
        break;
    case "crash":
        listen(handOff, () => setTimeout(() => process.exit(1), 100));
        break;
    case "fail-late":
        listen(handOff, () => setTimeout(() => {
            send({ type: "failed", reason: "the history store is broken", permanent: true });
            process.exit(2);
        }, 100));
        break;
    case "stubborn":
        process.on("SIGTERM", () => log("SIGTERM ignored"));
        listen(handOff, () => {});
        break;
    default:
        listen(handOff, () => {});
    }
});
// The daemon is gone when the channel closes.
lines.on("close", () => process.exit(0));
process.on("SIGTERM", () => {
    if (mode !== "stubborn") {
        log("stopping: SIGTERM");
        process.exit(0);
    }
});
