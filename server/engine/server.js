"use strict";
// The engine of tavox-server: reads the hand-off from standard input, serves OPC UA, reports
// on standard output and logs on standard error. It stops on SIGTERM or when the daemon
// closes standard input.

const { createLog, routeLibraryOutput } = require("./log");

// Certificates of refused clients land in the rejected folder: readable by the group of
// administrators, whatever umask the engine was started with, and by nobody else.
process.umask(0o027);

const log = createLog();
// Before the OPC UA library is loaded: it prints on standard output, the daemon's channel.
const library = routeLibraryOutput(log);

const { createChannel } = require("./channel");
const { parseHandoff } = require("./handoff");
const { describeFailure, exitCodeOf } = require("./failures");
const { startEngine } = require("./engine");

const SHUTDOWN_NOTICE_MS = 1000;

const channel = createChannel({ log });
let running = null;
let configured = false;
let stopping = false;

async function exit(code) {
    await channel.flush();
    process.exit(code);
}

async function fail(err, port) {
    const failure = describeFailure(err, port);
    log.error(failure.reason);
    channel.send({ type: "failed", reason: failure.reason, permanent: failure.permanent });
    await exit(exitCodeOf(failure));
}

async function stop(why) {
    if (stopping) {
        return;
    }
    stopping = true;
    log.info(`stopping: ${why}`);
    if (running) {
        await running.trust.close();
        try {
            await running.server.shutdown(SHUTDOWN_NOTICE_MS);
        } catch (err) {
            log.warn(`the server did not shut down cleanly: ${err.message}`);
        }
    }
    await exit(0);
}

function onDaemonMessage(message) {
    if (!running) {
        log.warn(`channel: message "${message.type}" came before the server runs; ignored`);
        return;
    }
    switch (message.type) {
    case "reloadTrust":
        running.trust.request("the daemon asked");
        break;
    case "historyData":
        if (running.history.answer) {
            running.history.answer(message);
        } else {
            log.warn("channel: a history answer came, but this engine keeps history in memory; ignored");
        }
        break;
    default:
        log.warn(`channel: message "${message.type}" is not handled by this engine; ignored`);
    }
}

async function configure(message) {
    let config;
    try {
        config = parseHandoff(message);
    } catch (err) {
        return fail(err);
    }
    try {
        running = await startEngine(config, { log, library, report: (m) => channel.send(m) });
    } catch (err) {
        return fail(err, config.port);
    }
    channel.send({ type: "listening", endpoints: running.endpoints });
    log.info(`listening, ${process.uptime().toFixed(1)} s after start`);
    running.reportActiveAlarms();
    channel.onMessage(onDaemonMessage);
    return undefined;
}

channel.onMessage((message) => {
    configured = true;
    channel.onMessage(() => log.warn("channel: a message came before the server was started; ignored"));
    configure(message);
});
channel.onClose(() => {
    if (configured) {
        stop("the daemon closed the channel");
    } else {
        fail(new Error("the daemon closed the channel before the hand-off"));
    }
});
process.on("SIGTERM", () => stop("SIGTERM"));
process.on("SIGINT", () => stop("SIGINT"));
process.on("unhandledRejection", (err) => log.error(`unexpected: ${err && err.stack ? err.stack : err}`));
process.on("uncaughtException", (err) => fail(err));
