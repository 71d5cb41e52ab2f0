"use strict";
// The engine as the daemon runs it, driven by a real OPC UA client: endpoints, logons, rights,
// browsing by namespace URI, alarms, history, and trust given to a client while it runs.

const assert = require("node:assert/strict");
const { execFileSync } = require("node:child_process");
const { X509Certificate } = require("node:crypto");
const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");
const { test } = require("node:test");
const {
    MessageSecurityMode, SecurityPolicy, UserTokenType, AttributeIds, DataType, StatusCodes, makeBrowsePath,
} = require("node-opcua-client");
const { passwordDigest } = require("../users");
const { spawnEngine, freePort } = require("../testing/engineProcess");
const { makeClientFactory, withSession, refusal, userName, watchAlarmEvents, waitForCount } = require("../testing/opcuaClient");

const DEMO_URI = "urn:morvane:tavox:demo";
const DIGITS = "7325041689";
// A small plant: the demo's boiler with alarm elements inside its variables and a historized
// pressure, as the utility writes them.
const NODE_CONFIG = path.join(__dirname, "data", "NodeConfig.xml");

function demoRef(name) {
    return { nodeId: `ns=1;s=Boiler.${name}`, namespaceUri: DEMO_URI, identifier: `s=Boiler.${name}` };
}

function handoffFor(dir, port, { securityNone, anonymous }) {
    const user = (name, password, write) => ({ name, digest: passwordDigest(password, DIGITS), read: true, write, execute: write });
    return {
        type: "configure", hostName: "localhost", port, applicationUri: "urn:localhost:Tavox:Server",
        securityNone, logon: { anonymous, certificate: false }, digitTable: DIGITS,
        users: [user("operator", "op-pass", true), user("viewer", "view-pass", false)],
        rootDigest: passwordDigest("root-pass", DIGITS),
        nodeConfig: path.join(dir, "NodeConfig.xml"),
        alarms: [
            { ...demoRef("Temperature"), dataType: "Double", kind: "level", highHigh: 95, high: 90, low: 10, lowLow: 5 },
            { ...demoRef("BurnerOn"), dataType: "Boolean", kind: "offNormal" },
        ],
        historized: [demoRef("Pressure")],
        history: { store: "memory", maxValuesPerNode: 10000 },
        pki: {
            root: path.join(dir, "pki"), userRoot: path.join(dir, "pki-user"),
            certificateFile: path.join(dir, "pki", "own", "certs", "server.pem"),
            privateKeyFile: path.join(dir, "pki", "own", "private", "private_key.pem"),
        },
    };
}

function thumbprintOf(file) {
    return new X509Certificate(fs.readFileSync(file)).fingerprint.replace(/:/g, "").toLowerCase();
}

// Trusts or rejects a certificate as an administrator does: with tavox-admin where the build
// names it, on the same state folder as the engine's; else by moving the file as it does.
function certificatesCommand(dir, verb, thumbprint) {
    if (process.env.TAVOX_ADMIN) {
        const env = { ...process.env, TAVOX_REGISTRY: path.join(dir, "registry.db") };
        return execFileSync(process.env.TAVOX_ADMIN, ["certificates", verb, thumbprint.slice(0, 8)], { env, encoding: "utf8" });
    }
    const [from, to] = ["rejected", "trusted/certs"].map((folder) => path.join(dir, "pki", folder));
    const [source, target] = verb === "trust" ? [from, to] : [to, from];
    const name = fs.readdirSync(source).find((file) => thumbprintOf(path.join(source, file)) === thumbprint);
    fs.renameSync(path.join(source, name), path.join(target, name));
    return `${verb}: moved ${name}`;
}

// Polls until `check` resolves true; resolves with the milliseconds it took, or fails after
// `timeoutMs`.
async function eventually(check, timeoutMs, what) {
    const started = Date.now();
    while (!(await check())) {
        assert.ok(Date.now() - started < timeoutMs, `not within ${timeoutMs} ms: ${what}`);
        await new Promise((resolve) => setTimeout(resolve, 50));
    }
    return Date.now() - started;
}

test("the engine serves the configured endpoints, users, alarms and history", async (t) => {
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), "tavox-engine-"));
    const home = path.join(dir, "home");
    fs.mkdirSync(home);
    const xml = fs.readFileSync(NODE_CONFIG, "utf8");
    fs.writeFileSync(path.join(dir, "NodeConfig.xml"), xml);
    const createClient = await makeClientFactory(path.join(dir, "client-pki"), { trustedFolder: path.join(dir, "pki", "trusted", "certs") });
    // The key folders as the daemon leaves them: the group may look, the keys are the daemon's.
    const privateFolders = ["pki", "pki-user"].map((store) => path.join(dir, store, "own", "private"));
    for (const folder of privateFolders) {
        fs.mkdirSync(folder, { recursive: true });
        fs.chmodSync(folder, 0o2750);
    }
    t.after(() => fs.rmSync(dir, { recursive: true, force: true }));

    const port = await freePort();
    const url = `opc.tcp://localhost:${port}`;
    const secure = [MessageSecurityMode.SignAndEncrypt, SecurityPolicy.Basic256Sha256];
    let engine = spawnEngine(handoffFor(dir, port, { securityNone: false, anonymous: false }), { HOME: home });
    t.after(() => engine.stop());
    const listening = await engine.waitFor((m) => m.type === "listening");
    assert.ok(listening, `no "listening": ${engine.log()}`);

    await t.test("None withheld, Basic128Rsa15 never offered", async () => {
        const offered = listening.endpoints.map((e) => `${e.securityMode} ${e.securityPolicy}`);
        assert.ok(offered.includes("SignAndEncrypt Basic256Sha256") && offered.includes("Sign Basic256"), offered.join());
        assert.ok(!offered.some((e) => e.startsWith("None") || e.endsWith("Basic128Rsa15")), offered.join());
        assert.ok(listening.endpoints.every((e) => e.url === url));
        const discovery = createClient(MessageSecurityMode.None, SecurityPolicy.None);
        await discovery.connect(url);
        const discovered = await discovery.getEndpoints();
        await discovery.disconnect();
        assert.ok(discovered.length > 0 && discovered.every((e) => e.securityMode !== MessageSecurityMode.None));
        const tokens = new Set(discovered.flatMap((e) => e.userIdentityTokens.map((token) => token.tokenType)));
        assert.deepEqual([...tokens], [UserTokenType.UserName], "anonymous and certificate logon are off");
        assert.match(await refusal(withSession(discovery, url, userName("operator", "op-pass"), () => {})), /BadSecurityModeRejected|End point must exist/);
    });

    await t.test("anonymous refused, wrong password refused, key private, nothing under $HOME", async () => {
        assert.match(await refusal(withSession(createClient(...secure), url, {}, () => {})), /BadIdentityTokenInvalid|anonymous/i);
        assert.match(await refusal(withSession(createClient(...secure), url, userName("operator", "nope"), () => {})), /BadUserAccessDenied/);
        assert.match(engine.log(), /logon refused for user "operator": wrong password/);
        assert.doesNotMatch(engine.log(), /nope/);
        for (const folder of privateFolders) {
            assert.equal(fs.statSync(path.join(folder, "private_key.pem")).mode & 0o777, 0o600);
            assert.equal(fs.statSync(folder).mode & 0o7777, 0o2750, "the daemon's mode is kept");
        }
        assert.deepEqual(fs.readdirSync(home), []);
    });

    await t.test("browse by namespace URI; rights decide reads, writes and UserAccessLevel", async () => {
        const index = await withSession(createClient(...secure), url, userName("viewer", "view-pass"), async (session) => {
            const namespaces = await session.readNamespaceArray();
            const ns = namespaces.indexOf(DEMO_URI);
            const found = await session.translateBrowsePath(makeBrowsePath("ObjectsFolder", `/${ns}:Boiler/${ns}:Temperature`));
            assert.equal(found.targets[0].targetId.toString(), `ns=${ns};s=Boiler.Temperature`);
            const levels = await session.read(["Temperature", "Pressure"].map((name) => ({ nodeId: `ns=${ns};s=Boiler.${name}`, attributeId: AttributeIds.UserAccessLevel })));
            assert.deepEqual(levels.map((l) => l.value.value), [1, 5], "read; read and history, no write");
            const status = await session.write({ nodeId: `ns=${ns};s=Boiler.Temperature`, attributeId: AttributeIds.Value, value: { value: { dataType: DataType.Double, value: 50 } } });
            assert.equal(status, StatusCodes.BadUserAccessDenied);
            return ns;
        });
        assert.equal(index, 2, "the file's ns=1 comes after the server's own namespace");
    });

    await t.test("a written value crosses each limit; events and the daemon see every change; history", async () => {
        const temperature = "ns=2;s=Boiler.Temperature";
        await withSession(createClient(...secure), url, userName("operator", "op-pass"), async (session) => {
            const level = await session.read({ nodeId: temperature, attributeId: AttributeIds.UserAccessLevel });
            assert.equal(level.value.value, 3);
            const events = await watchAlarmEvents(session, temperature);
            const write = (nodeId, dataType, value) => session.write({ nodeId, attributeId: AttributeIds.Value, value: { value: { dataType, value } } });
            for (const value of [92, 97, 50, 8, 3, 50]) {
                assert.equal(await write(temperature, DataType.Double, value), StatusCodes.Good);
            }
            assert.equal(await write("ns=2;s=Boiler.BurnerOn", DataType.Boolean, true), StatusCodes.Good);
            await write("ns=2;s=Boiler.Pressure", DataType.Float, 2.5);
            await waitForCount(events, 6);
            assert.deepEqual(events.slice(0, 6), ["High", "HighHigh", "Normal", "Low", "LowLow", "Normal"]);

            const now = new Date();
            const history = await session.readHistoryValue("ns=2;s=Boiler.Pressure", new Date(now - 60000), now);
            assert.equal(history.statusCode, StatusCodes.Good);
            assert.deepEqual(history.historyData.dataValues.map((v) => Math.round(v.value.value * 10) / 10), [1.8, 2.5]);
            const none = await session.readHistoryValue(temperature, new Date(now - 60000), now);
            assert.equal(none.statusCode, StatusCodes.BadHistoryOperationUnsupported);
        });
        await engine.waitFor((m) => m.type === "alarm" && m.state === "Active");
        const reported = engine.messages.filter((m) => m.type === "alarm").map((m) => `${m.nodeId} ${m.state} ${m.value}`);
        assert.deepEqual(reported, ["High 92", "HighHigh 97", "Normal 50", "Low 8", "LowLow 3", "Normal 50"]
            .map((s) => `ns=1;s=Boiler.Temperature ${s}`).concat("ns=1;s=Boiler.BurnerOn Active true"));
    });

    await t.test("a new client is refused and kept in rejected; trusted and rejected again, without a restart", async () => {
        const stranger = await makeClientFactory(path.join(dir, "stranger-pki"), { applicationName: "Stranger" });
        const thumbprint = thumbprintOf(stranger.certificateFile);
        const connects = async () => (await refusal(withSession(stranger(...secure), url, userName("operator", "op-pass"), () => {}))) === "accepted";
        const logged = engine.log().length;
        assert.equal(await connects(), false);
        // The client library reads the server's fault as a closed connection; the server's log names it.
        assert.match(engine.log().slice(logged), /sendError: +BadSecurityChecksFailed/);
        const rejected = path.join(dir, "pki", "rejected");
        const kept = fs.readdirSync(rejected).map((file) => path.join(rejected, file));
        assert.deepEqual(kept.map(thumbprintOf), [thumbprint]);
        assert.equal(fs.statSync(kept[0]).mode & 0o777, 0o640, "administrators of the group read it, nobody else");

        assert.match(certificatesCommand(dir, "trust", thumbprint), /Trusted|moved/);
        assert.ok(await eventually(connects, 2000, "the trusted client connects") < 2000);
        assert.match(engine.log(), /trust lists reloaded \(the certificate folders changed\): applications \d+ trusted, 0 rejected; user certificates 0 trusted, 0 rejected/);
        certificatesCommand(dir, "reject", thumbprint);
        await eventually(async () => !(await connects()), 2000, "the rejected client is refused");

        engine.send({ type: "reloadTrust" });
        await eventually(() => /trust lists reloaded \(the daemon asked\): applications \d+ trusted, 1 rejected/.test(engine.log()), 2000, "a reload on the daemon's request");
    });

    assert.equal(await engine.stop(), 0);

    await t.test("None and anonymous offered by their flags; anonymous reads but does not write", async () => {
        engine = spawnEngine(handoffFor(dir, port, { securityNone: true, anonymous: true }), { HOME: home });
        assert.ok(await engine.waitFor((m) => m.type === "listening"), engine.log());
        await withSession(createClient(MessageSecurityMode.None, SecurityPolicy.None), url, {}, async (session) => {
            const value = await session.read({ nodeId: "ns=2;s=Boiler.Pressure", attributeId: AttributeIds.Value });
            assert.equal(value.statusCode, StatusCodes.Good);
            const status = await session.write({ nodeId: "ns=2;s=Boiler.Pressure", attributeId: AttributeIds.Value, value: { value: { dataType: DataType.Float, value: 3 } } });
            assert.equal(status, StatusCodes.BadUserAccessDenied);
        });
    });

    await t.test("a port in use and a node configuration that does not load are permanent failures", async () => {
        const broken = path.join(dir, "Broken.xml");
        fs.writeFileSync(broken, xml.replace('DataType="Double"', 'DataType="NoSuchType"'));
        const second = spawnEngine(handoffFor(dir, port, { securityNone: true, anonymous: true }));
        const badFile = spawnEngine({ ...handoffFor(dir, await freePort(), { securityNone: true, anonymous: true }), nodeConfig: broken });
        const [inUse, notLoaded] = await Promise.all([second, badFile].map((e) => e.waitFor((m) => m.type === "failed")));
        assert.deepEqual(inUse, { type: "failed", reason: `port ${port} is in use`, permanent: true });
        assert.equal(notLoaded.permanent, true);
        assert.match(notLoaded.reason, /Broken\.xml does not load: .*NoSuchType/);
        assert.deepEqual(await Promise.all([second.exited, badFile.exited]), [2, 2]);
    });

    await t.test("SIGTERM stops the engine", async () => {
        assert.equal(await engine.terminate(), 0);
        assert.match(engine.log(), /stopping: SIGTERM/);
    });
});
