"use strict";
// tavox-server with its engine on the demo's plant, in a sandbox of its own, driven by a real
// OPC UA client: what the daemon reads from the settings store and the node configuration file
// is what a client meets. The engine's own end-to-end test covers the engine's side; this one
// proves that each setting is handed over. Run by CTest with TAVOX_SERVER, TAVOX_ADMIN and
// TAVOX_ENGINE set, and NODE_PATH to the engine's development packages.

const assert = require("node:assert/strict");
const { execFileSync } = require("node:child_process");
const fs = require("node:fs");
const net = require("node:net");
const os = require("node:os");
const path = require("node:path");
const { test } = require("node:test");
const { MessageSecurityMode, SecurityPolicy, UserTokenType, AttributeIds, DataType, StatusCodes, makeBrowsePath } = require("node-opcua-client");

const TESTING = path.join(__dirname, "..", "..", "server", "engine", "testing");
const { spawnDaemon, freePort } = require(path.join(TESTING, "engineProcess"));
const { makeClientFactory, withSession, refusal, userName, watchAlarmEvents, waitForCount } = require(path.join(TESTING, "opcuaClient"));

const { TAVOX_SERVER, TAVOX_ADMIN, TAVOX_ENGINE } = process.env;
const SANDBOX_SCRIPT = path.join(__dirname, "..", "..", "scripts", "demo-sandbox.sh");
const CLIENT_SCRIPT = path.join(__dirname, "..", "..", "scripts", "opcua-client.sh");
const SERVER_KEY = "HKLM\\SOFTWARE\\MORVANE\\Tavox Server";
const DEMO_URI = "urn:morvane:tavox:demo";

test("tavox-server serves the endpoints, users, alarms and history of its settings", async (t) => {
    assert.ok(TAVOX_SERVER && TAVOX_ADMIN && TAVOX_ENGINE, "TAVOX_SERVER, TAVOX_ADMIN and TAVOX_ENGINE name the build's programs");
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), "tavox-server-e2e-"));
    t.after(() => fs.rmSync(dir, { recursive: true, force: true }));
    const env = { TAVOX_DEMO_DIR: dir, TAVOX_ADMIN, TAVOX_REGISTRY: path.join(dir, "registry.db"), TAVOX_USER_REGISTRY: path.join(dir, "user-registry.db") };
    const admin = (...args) => execFileSync(TAVOX_ADMIN, args, { env: { ...process.env, ...env }, encoding: "utf8" });
    execFileSync("bash", [SANDBOX_SCRIPT, path.dirname(path.dirname(TAVOX_ADMIN))], { env: { ...process.env, ...env } });

    const port = await freePort();
    admin("endpoints", "set", "--port", String(port), "--https-port", String(await freePort()), "--security-none", "off");
    // The certificate stores live beside the machine store.
    const createClient = await makeClientFactory(path.join(dir, "client-pki"), { trustedFolder: path.join(dir, "pki", "trusted", "certs") });
    const url = `opc.tcp://localhost:${port}`;
    const secure = () => createClient(MessageSecurityMode.SignAndEncrypt, SecurityPolicy.Basic256Sha256);
    const start = async () => {
        const daemon = spawnDaemon(TAVOX_SERVER, { ...env, TAVOX_ENGINE });
        t.after(() => daemon.terminate());
        return daemon;
    };

    let daemon = await start();
    assert.ok(await daemon.waitForLine("tavox-server: running"), daemon.log());

    await t.test("the endpoint URL is stored once the engine listens; None and anonymous withheld", async () => {
        assert.match(admin("reg", "query", SERVER_KEY, "/v", "UaTcpUri"), new RegExp(`opc\\.tcp://${os.hostname()}:${port}\\b`));
        const discovery = createClient(MessageSecurityMode.None, SecurityPolicy.None);
        await discovery.connect(url);
        const endpoints = await discovery.getEndpoints();
        await discovery.disconnect();
        const offered = endpoints.map((e) => `${MessageSecurityMode[e.securityMode]} ${e.securityPolicyUri.split("#")[1]}`);
        assert.ok(offered.includes("SignAndEncrypt Basic256Sha256") && !offered.some((e) => e.startsWith("None")), offered.join());
        const tokens = new Set(endpoints.flatMap((e) => e.userIdentityTokens.map((token) => token.tokenType)));
        assert.deepEqual([...tokens], [UserTokenType.UserName]);
        assert.match(await refusal(withSession(secure(), url, {}, () => {})), /BadIdentityTokenInvalid|anonymous/i);
    });

    await t.test("the stored passwords and rights decide logons and writes", async () => {
        assert.match(await refusal(withSession(secure(), url, userName("operator", "viewer-demo"), () => {})), /BadUserAccessDenied/);
        assert.ok(await daemon.waitForLine('tavox-server: engine: logon refused for user "operator": wrong password', 5000), daemon.log());
        const status = await withSession(secure(), url, userName("viewer", "viewer-demo"), (session) =>
            session.write({ nodeId: "ns=2;s=Boiler.Temperature", attributeId: AttributeIds.Value, value: { value: { dataType: DataType.Double, value: 50 } } }));
        assert.equal(status, StatusCodes.BadUserAccessDenied);
    });

    await t.test("the settings block's alarms fire on writes; the file's history variable answers HistoryRead", async () => {
        await withSession(secure(), url, userName("operator", "operator-demo"), async (session) => {
            const ns = (await session.readNamespaceArray()).indexOf(DEMO_URI);
            const found = await session.translateBrowsePath(makeBrowsePath("ObjectsFolder", `/${ns}:Boiler/${ns}:Temperature`));
            const temperature = found.targets[0].targetId.toString();
            assert.equal(temperature, `ns=${ns};s=Boiler.Temperature`);
            const events = await watchAlarmEvents(session, temperature);
            const write = (name, dataType, value) => session.write({ nodeId: `ns=${ns};s=Boiler.${name}`, attributeId: AttributeIds.Value, value: { value: { dataType, value } } });
            for (const value of [92, 97, 50, 8, 3, 50]) {
                assert.equal(await write("Temperature", DataType.Double, value), StatusCodes.Good);
            }
            assert.equal(await write("BurnerOn", DataType.Boolean, true), StatusCodes.Good);
            assert.equal(await write("Pressure", DataType.Float, 2.5), StatusCodes.Good);
            assert.deepEqual((await waitForCount(events, 6)).slice(0, 6), ["High", "HighHigh", "Normal", "Low", "LowLow", "Normal"]);
            const now = new Date();
            const history = await session.readHistoryValue(`ns=${ns};s=Boiler.Pressure`, new Date(now - 60000), now);
            assert.deepEqual(history.historyData.dataValues.map((v) => Math.round(v.value.value * 10) / 10), [1.8, 2.5]);
        });
        assert.ok(await daemon.waitForLine("alarm on ns=1;s=Boiler.BurnerOn: Active", 5000), daemon.log());
        const alarms = daemon.lines.filter((line) => /^tavox-server: alarm on .*\(value /.test(line));
        assert.deepEqual(alarms, ["High (value 92)", "HighHigh (value 97)", "Normal (value 50)", "Low (value 8)", "LowLow (value 3)", "Normal (value 50)"]
            .map((state) => `tavox-server: alarm on ns=1;s=Boiler.Temperature: ${state}`)
            .concat("tavox-server: alarm on ns=1;s=Boiler.BurnerOn: Active (value true)"));
    });

    assert.equal(await daemon.terminate(), 0, daemon.log());
    admin("endpoints", "set", "--security-none", "on");
    admin("logon", "set", "--anonymous", "on");

    await t.test("a port taken after the daemon's check fails the engine for good, and the daemon with it", async () => {
        daemon = await start();
        assert.ok(await daemon.waitForLine("(UA TCP) is free: the engine serves it"), daemon.log());
        const taker = net.createServer();
        await new Promise((resolve) => taker.listen(port, resolve));
        try {
            assert.ok(await daemon.waitForLine(`tavox-server: the engine did not start: port ${port} is in use`), daemon.log());
            assert.equal(await daemon.exited, 1, daemon.log());
        } finally {
            await new Promise((resolve) => taker.close(resolve));
        }
        assert.doesNotMatch(daemon.log(), /started again|tavox-server: running/);
    });

    await t.test("None and anonymous offered by their flags; the demo's client command writes and sees the alarm", async () => {
        daemon = await start();
        assert.ok(await daemon.waitForLine("tavox-server: running"), daemon.log());
        const value = await withSession(createClient(MessageSecurityMode.None, SecurityPolicy.None), url, {}, async (session) => {
            const ns = (await session.readNamespaceArray()).indexOf(DEMO_URI);
            return session.read({ nodeId: `ns=${ns};s=Boiler.Temperature`, attributeId: AttributeIds.Value });
        });
        assert.equal(value.value.value, 21.5);
        const written = execFileSync(CLIENT_SCRIPT, ["write", "ns=1;s=Boiler.Temperature", "97", "--user", "operator", "--password", "operator-demo", "--url", url],
            { env: { ...process.env, TAVOX_DEMO_DIR: dir, TAVOX_BUILD_DIR: path.resolve(TAVOX_ENGINE, "..", "..") }, encoding: "utf8" });
        assert.equal(written, "write ns=1;s=Boiler.Temperature = 97: Good\nalarm on ns=1;s=Boiler.Temperature: HighHigh\n");
        assert.equal(await daemon.terminate(), 0, daemon.log());
    });
});
