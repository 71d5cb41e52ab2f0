"use strict";
// Keeps the running server's trust lists in step with the certificate folders. The library's
// certificate managers keep what they read at start, so a client trusted or rejected later
// would wait for a restart; instead fresh managers are built and put in the old ones' place
// whenever the folders change or the daemon asks ("reloadTrust"). One reload runs at a time.

const fs = require("fs");
const path = require("path");
const { openStore } = require("./certificates");

const WATCHED_FOLDERS = ["trusted/certs", "trusted/crl", "rejected", "issuers/certs", "issuers/crl"];
// Long enough for a file being written to be whole, short beside a client's retry.
const SETTLE_MS = 200;

function countFiles(folder) {
    try {
        return fs.readdirSync(folder, { withFileTypes: true }).filter((entry) => entry.isFile()).length;
    } catch {
        return 0;
    }
}

function describeStore(manager) {
    return `${countFiles(manager.trustedFolder)} trusted, ${countFiles(manager.rejectedFolder)} rejected`;
}

async function openBothStores(pki) {
    const applications = await openStore(pki.root);
    try {
        return { applications, users: await openStore(pki.userRoot) };
    } catch (err) {
        await applications.dispose();
        throw err;
    }
}

// Secure channels ask their endpoint's manager at every check, sessions the server's.
function install(server, stores) {
    server.serverCertificateManager = stores.applications;
    for (const endpoint of server.endpoints) {
        endpoint.certificateManager = stores.applications;
    }
    server.userCertificateManager = stores.users;
}

// Watches the folders of both stores from now on; reloads only once `attach` has given it the
// running server, so that a change made while the server starts is not lost.
function watchTrust(pki, log) {
    const watchers = [];
    const unwatchable = new Set();
    const reasons = new Set();
    let server = null;
    let settling = null;
    let running = null;
    let closed = false;

    // Watchers are made anew before each reload reads the folders, so that a folder made again
    // is watched again and no change falls between the reading and the watching.
    function watchFolders() {
        watchers.splice(0).forEach((watcher) => watcher.close());
        for (const folder of [pki.root, pki.userRoot].flatMap((root) => WATCHED_FOLDERS.map((sub) => path.join(root, sub)))) {
            try {
                const watcher = fs.watch(folder, { persistent: false }, () => request("the certificate folders changed"));
                watcher.on("error", (err) => log.warn(`trust lists: watching ${folder} failed: ${err.message}`));
                watchers.push(watcher);
                unwatchable.delete(folder);
            } catch (err) {
                if (!unwatchable.has(folder)) {
                    unwatchable.add(folder);
                    log.warn(`trust lists: cannot watch ${folder} (${err.code || err.message}); changes there take effect when the daemon asks for a reload`);
                }
            }
        }
    }

    async function reload(why) {
        watchFolders();
        let fresh;
        try {
            fresh = await openBothStores(pki);
        } catch (err) {
            log.error(`trust lists not reloaded (${why}): ${err.message}; the server keeps the lists it had`);
            return;
        }
        const old = { applications: server.serverCertificateManager, users: server.userCertificateManager };
        install(server, fresh);
        for (const manager of [old.applications, old.users]) {
            await manager.dispose().catch((err) => log.warn(`trust lists: the replaced certificate store did not close: ${err.message}`));
        }
        log.info(`trust lists reloaded (${why}): applications ${describeStore(fresh.applications)}; user certificates ${describeStore(fresh.users)}`);
    }

    // A change reloads at once (the events of one move come together); changes during the next
    // moment, such as a file still being written, make one more reload when it is over.
    function runPending() {
        if (closed || running || reasons.size === 0) {
            return;
        }
        const why = [...reasons].join(", ");
        reasons.clear();
        running = reload(why).finally(() => {
            running = null;
            if (!settling) {
                runPending();
            }
        });
        settling = setTimeout(() => {
            settling = null;
            runPending();
        }, SETTLE_MS);
    }

    function request(why) {
        if (closed) {
            return;
        }
        reasons.add(why);
        if (server && !settling) {
            setImmediate(runPending);
        }
    }

    watchFolders();
    return {
        // Asks for a reload: at once, or once the one under way and the moment after it are over.
        request,
        attach(runningServer) {
            server = runningServer;
            runPending();
        },
        // Stops watching; resolves when a reload under way has finished.
        async close() {
            closed = true;
            clearTimeout(settling);
            watchers.splice(0).forEach((watcher) => watcher.close());
            await running;
        },
    };
}

module.exports = { watchTrust };
