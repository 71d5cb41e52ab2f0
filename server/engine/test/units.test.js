"use strict";
// The engine's logic that needs no server: hand-off checks, digests and rights, alarm state
// reporting, the history store, the node configuration's declaration, failure reports.

const assert = require("node:assert/strict");
const { test } = require("node:test");
const { parseHandoff } = require("../handoff");
const { createDirectory, passwordDigest } = require("../users");
const { rolesFor } = require("../rights");
const { limitOptions, levelState, createTransitionWatch } = require("../alarmState");
const { createMemoryStore } = require("../history");
const { valueFields, dataValueFrom } = require("../historyValues");
const { createDaemonHistory } = require("../daemonHistory");
const { DataType, Variant, VariantArrayType } = require("node-opcua-variant");
const { StatusCodes } = require("node-opcua-status-code");
const { ExpandedNodeId, NodeIdType, resolveNodeId } = require("node-opcua-nodeid");
const { inspectNodeConfig } = require("../addressSpace");
const { describeFailure, exitCodeOf } = require("../failures");

const quietLog = { info() {}, warn() {}, error() {} };
const digest = "0123456789abcdef0123456789abcdef";
const valid = () => ({
    type: "configure", hostName: "plant1", port: 4840, applicationUri: "urn:plant1:Tavox:Server", securityNone: true,
    logon: { anonymous: false, certificate: false }, digitTable: "7325041689",
    users: [{ name: "operator", digest, read: true, write: false, execute: false }], rootDigest: null,
    nodeConfig: "/var/lib/tavox/service/NodeConfig.xml", historized: [],
    alarms: [{ nodeId: "ns=1;s=T", namespaceUri: "urn:x", identifier: "s=T", dataType: "Double", kind: "level", high: 90 }],
    pki: { root: "/p", userRoot: "/u", certificateFile: "/p/c.pem", privateKeyFile: "/p/k.pem" },
});

test("the hand-off is checked whole; the first bad field is named", () => {
    const config = parseHandoff(valid());
    assert.deepEqual(config.history, { store: "memory", maxValuesPerNode: 10000 });
    assert.equal(parseHandoff({ ...valid(), history: { store: "daemon" } }).history.store, "daemon");
    assert.deepEqual(config.alarms[0].high, 90);
    const cases = [
        [(h) => { h.type = "hello"; }, /"type"/],
        [(h) => { h.port = 70000; }, /"port"/],
        [(h) => { h.hostName = "plant 1"; }, /"hostName"/],
        [(h) => { h.digitTable = "0123456788"; }, /"digitTable"/],
        [(h) => { h.users[0].digest = "ABC"; }, /"users\[0\]\.digest"/],
        [(h) => { h.users[0].name = "a".repeat(32); }, /"users\[0\]\.name"/],
        [(h) => { h.users[0].name = "\u20acuro"; }, /"users\[0\]\.name"/],
        [(h) => { h.rootDigest = undefined; }, /"rootDigest"/],
        [(h) => { h.nodeConfig = "NodeConfig.xml"; }, /"nodeConfig" must be an absolute path/],
        [(h) => { h.alarms[0].low = "10"; }, /"alarms\[0\]\.low" must be a number/],
        [(h) => { h.alarms[0].kind = "deviation"; }, /"alarms\[0\]\.kind"/],
        [(h) => { h.alarms[0].identifier = "ns=1;s=T"; }, /"alarms\[0\]\.identifier"/],
        [(h) => { h.history = { store: "disk" }; }, /"history\.store" must be one of "memory", "daemon"/],
        [(h) => { delete h.pki.userRoot; }, /"pki\.userRoot"/],
    ];
    for (const [spoil, message] of cases) {
        const handoff = valid();
        spoil(handoff);
        assert.throws(() => parseHandoff(handoff), message);
    }
});

test("digests: MD5 hex of the 8-bit password, digits substituted; compared whole", () => {
    assert.equal(passwordDigest("", "7325041689"), "d03d8cd98f77b270e9877998ecf8026e");
    assert.equal(passwordDigest("\u00e9", "0123456789"), "3406877694691ddd1dfb0aca54681407");
    assert.equal(passwordDigest("\u20ac", "0123456789"), null);
    const lines = [];
    const directory = createDirectory({
        digitTable: "7325041689", rootDigest: passwordDigest("r00t", "7325041689"),
        users: [{ name: "op", digest: passwordDigest("secret", "7325041689"), read: true, write: true, execute: true },
            { name: "root", digest: passwordDigest("other", "7325041689"), read: true, write: false, execute: false }],
    }, { ...quietLog, info: (l) => lines.push(l), warn: (l) => lines.push(l) });
    assert.equal(directory.authenticate("op", "secret"), true);
    assert.equal(directory.authenticate("op", "Secret"), false);
    assert.equal(directory.authenticate("OP", "secret"), false);
    assert.equal(directory.authenticate("ghost", "secret"), false);
    assert.equal(directory.authenticate("root", "other"), false, "root logs on with the root digest only");
    assert.equal(directory.authenticate("root", "r00t"), true);
    assert.ok(lines.every((l) => !/secret|other/.test(l)), lines.join("\n"));
    assert.ok(lines.some((l) => /"op": wrong password/.test(l)) && lines.some((l) => /"ghost": no such user/.test(l)));
});

test("rights become roles: Read Observer, Write Operator, Executable Engineer", () => {
    const names = (rights) => rolesFor(rights).map((r) => r.value);
    assert.deepEqual(names({ read: true, write: false, execute: false }), [15668]);
    assert.deepEqual(names({ read: false, write: true, execute: true }), [15680, 16036]);
    assert.deepEqual(names(null), []);
    const roles = rolesFor({ read: true });
    roles.push("appended by the library");
    assert.equal(rolesFor({ read: true }).length, 1);
});

test("alarm state: limits not set are left out; only changes of state are reported", () => {
    assert.deepEqual(limitOptions({ highHigh: 95, low: 0 }), { highHighLimit: 95, lowLimit: 0 });
    assert.deepEqual(limitOptions({}), {});
    assert.equal(levelState(null), "Normal");
    const states = ["Normal", "High", "High", "HighHigh", "Normal", "Normal"];
    const reported = [];
    const check = createTransitionWatch(() => states.shift(), (s) => reported.push(s));
    for (let i = 0; i < 6; i += 1) {
        check();
    }
    assert.deepEqual(reported, ["High", "HighHigh", "Normal"]);
});

test("history store: the newest values per variable, read by time and count", () => {
    const store = createMemoryStore(3);
    const at = (s) => ({ sourceTimestamp: new Date(Date.UTC(2024, 0, 1, 0, 0, s)), value: s });
    [1, 2, 3, 4, 5].forEach((s) => store.append("a", at(s)));
    store.append("b", at(9));
    const values = (query) => store.read("a", query).map((v) => v.value);
    assert.deepEqual(values(), [3, 4, 5]);
    assert.deepEqual(values({ newestFirst: true, maxValues: 2 }), [5, 4]);
    assert.deepEqual(values({ startTime: at(4).sourceTimestamp }), [4, 5]);
    assert.deepEqual(values({ endTime: at(3).sourceTimestamp }), [3]);
    assert.deepEqual(store.read("none"), []);
});

test("node configuration: namespaces and declared nodes; the settings block is no node", () => {
    const xml = `<?xml version="1.0"?><UANodeSet><NamespaceUris><Uri>urn:a&amp;b</Uri><Uri>urn:c</Uri></NamespaceUris>
        <UAObject NodeId="ns=1;s=A" BrowseName="1:A"/><UAVariable BrowseName="1:B" ParentNodeId="ns=1;s=A" NodeId="ns=2;i=7"/>
        <UAVariable NodeId="i=5000" BrowseName="X"/></UANodeSet><!-- <UAObject NodeId="ns=1;s=Z"/> -->`;
    assert.deepEqual(inspectNodeConfig(xml), { namespaceUris: ["urn:a&b", "urn:c"], declaredNodes: 2 });
    assert.throws(() => inspectNodeConfig("not a nodeset"), /UANodeSet/);
});

test("failures: a restart cannot mend a bad hand-off or a port in use", () => {
    let handoffError;
    try {
        parseHandoff({});
    } catch (err) {
        handoffError = err;
    }
    const portInUse = Object.assign(new Error("listen EADDRINUSE"), { code: "EADDRINUSE" });
    assert.deepEqual(describeFailure(portInUse, 4840), { reason: "port 4840 is in use", permanent: true });
    assert.equal(exitCodeOf(describeFailure(handoffError)), 2);
    assert.equal(exitCodeOf(describeFailure(new Error("socket hang up"))), 1);
});

test("history values: each type on the channel as the daemon keeps it, and back", () => {
    const scalar = (dataType, value) => new Variant({ dataType, arrayType: VariantArrayType.Scalar, value });
    const array = (dataType, value) => new Variant({ dataType, arrayType: VariantArrayType.Array, value });
    const cases = [
        [scalar(DataType.Double, 1.5), "Double", 1.5],
        [scalar(DataType.Double, NaN), "Double", "NaN"],
        [scalar(DataType.Float, -Infinity), "Float", "-Infinity"],
        [scalar(DataType.Int64, [0xffdfffff, 0xffffffff]), "Int64", "-9007199254740993"],
        [scalar(DataType.UInt64, [0xffffffff, 0xffffffff]), "UInt64", "18446744073709551615"],
        [scalar(DataType.UInt32, 4294967295), "UInt32", 4294967295],
        [scalar(DataType.Boolean, false), "Boolean", false],
        [scalar(DataType.String, "Druck \u00b0C ;{}"), "String", "Druck \u00b0C ;{}"],
        [scalar(DataType.LocalizedText, { text: "Kessel" }), "LocalizedText", "Kessel"],
        [scalar(DataType.DateTime, new Date("2026-12-10T01:59:59.999Z")), "DateTime", "2026-12-10T01:59:59.999Z"],
        [scalar(DataType.ByteString, Buffer.from([0, 1, 2, 255])), "ByteString", "AAEC/w=="],
        [scalar(DataType.Guid, "72962B91-FA75-4AE6-8D28-B404DC7DAF63"), "Guid", "72962B91-FA75-4AE6-8D28-B404DC7DAF63"],
        [scalar(DataType.NodeId, resolveNodeId("ns=2;s=Boiler.Pressure")), "NodeId", "ns=2;s=Boiler.Pressure"],
        [scalar(DataType.ExpandedNodeId, new ExpandedNodeId(NodeIdType.STRING, "X", 0, "urn:x", 1)), "ExpandedNodeId", "svr=1;nsu=urn:x;s=X"],
        [scalar(DataType.QualifiedName, { namespaceIndex: 2, name: "Pressure" }), "QualifiedName", "2:Pressure"],
        [scalar(DataType.StatusCode, StatusCodes.BadTimeout), "StatusCode", 0x800a0000],
        [array(DataType.Int16, [-1, 2, 3]), "Int16", [-1, 2, 3]],
        [array(DataType.Int64, [[0, 1], [0xffffffff, 0xfffffffe]]), "Int64", ["1", "-2"]],
        [array(DataType.Double, [0.5, Infinity]), "Double", [0.5, "Infinity"]],
        [new Variant({ dataType: DataType.Null }), "Null", null],
    ];
    for (const [variant, dataType, value] of cases) {
        const fields = valueFields({ value: variant, statusCode: StatusCodes.Good, sourceTimestamp: new Date(123), serverTimestamp: new Date(Date.UTC(1601, 0, 1)) });
        assert.deepEqual(fields, { sourceTime: "1970-01-01T00:00:00.123Z", serverTime: null, status: 0, dataType, value }, dataType);
        const back = dataValueFrom(JSON.parse(JSON.stringify(fields)));
        assert.deepEqual([back.value.toString(), back.statusCode], [variant.toString(), StatusCodes.Good], dataType);
    }
    const refused = (dataType, value) => dataValueFrom({ dataType, value }).statusCode.name;
    assert.deepEqual([refused("ExtensionObject", { a: 1 }), refused("UInt64", "-1"), refused("DateTime", "yesterday"), refused("Double", null)],
        ["BadDataEncodingUnsupported", "BadDecodingError", "BadDecodingError", "Good"]);
});

test("history reads asked of the daemon: requests, answers, continuation points, timeouts", async () => {
    const sent = [];
    const lines = [];
    const log = { info() {}, warn: (l) => lines.push(l), error: (l) => lines.push(l) };
    const daemon = createDaemonHistory({ send: (m) => sent.push(m), log, timeoutMs: 30, maxPending: 2 });
    const ref = { namespaceUri: "urn:x", identifier: "s=P" };
    daemon.record(ref, { value: new Variant({ dataType: DataType.Float, value: 2.5 }), sourceTimestamp: new Date(0) });
    assert.deepEqual(sent.shift(), { type: "value", namespaceUri: "urn:x", identifier: "s=P", sourceTime: "1970-01-01T00:00:00.000Z", serverTime: null, status: 0, dataType: "Float", value: 2.5 });

    const details = { startTime: new Date("2026-12-10T00:00:00Z"), endTime: new Date(Date.UTC(1601, 0, 1)), numValuesPerNode: 2 };
    const first = daemon.read(ref, details, null);
    const next = daemon.read(ref, details, Buffer.from("134:6:42"));
    assert.equal((await daemon.read(ref, details, null)).statusCode, StatusCodes.BadTooManyOperations);
    assert.deepEqual(sent.map((m) => [m.type, m.id, m.start, m.end, m.maxValues, m.continuation]), [
        ["historyRead", 1, "2026-12-10T00:00:00.000Z", null, 2, null], ["historyRead", 2, "2026-12-10T00:00:00.000Z", null, 2, "134:6:42"]]);
    const value = { sourceTime: "2026-12-10T02:00:00.123Z", serverTime: null, status: 0, dataType: "Float", value: 2.5 };
    daemon.answer({ type: "historyData", id: 2, status: "GoodResultsMayBeIncomplete", values: [value, value], continuation: "134:6:44" });
    const answered = await next;
    assert.equal(answered.statusCode, StatusCodes.GoodResultsMayBeIncomplete);
    assert.equal(answered.continuationPoint.toString(), "134:6:44");
    assert.deepEqual(answered.dataValues.map((v) => [v.sourceTimestamp.toISOString(), v.value.value]), [["2026-12-10T02:00:00.123Z", 2.5], ["2026-12-10T02:00:00.123Z", 2.5]]);
    assert.equal((await first).statusCode, StatusCodes.BadTimeout, "not answered in time");
    daemon.answer({ type: "historyData", id: 1, status: "Good", values: [] });

    for (const [status, code] of [["Good", StatusCodes.Good], ["GoodNoData", StatusCodes.GoodNoData], ["BadContinuationPointInvalid", StatusCodes.BadContinuationPointInvalid],
        ["BadHistoryOperationInvalid", StatusCodes.BadHistoryOperationInvalid], ["toString", StatusCodes.BadInternalError]]) {
        const reading = daemon.read(ref, details, null);
        daemon.answer({ type: "historyData", id: sent[sent.length - 1].id, status, values: [], continuation: null });
        const result = await reading;
        assert.equal(result.statusCode, code, status);
        assert.equal(result.continuationPoint, null);
    }
    assert.equal(daemon.pendingReads(), 0);
    assert.deepEqual(lines.map((l) => l.replace(/ of s=P \(urn:x\)/, "")), [
        "history read refused: 2 reads wait for the daemon already (BadTooManyOperations)",
        "history read answered from the daemon's spool alone, the history database being unreachable (GoodResultsMayBeIncomplete)",
        "history read not answered by the daemon within 0.03 s (BadTimeout)",
        "history: the daemon's answer to read 1 came after its time was up, or was not asked for; dropped",
        "history read: the daemon answered with the unknown status \"toString\" (BadInternalError)",
    ]);
});
