"use strict";
// A real OPC UA client (node-opcua-client, a development package) for the end-to-end tests of
// the engine and of the daemon, and for the demo's client command: clients with a certificate
// of their own, sessions that always close, and the events of a condition.

const fs = require("fs");
const path = require("path");
const {
    OPCUAClient, UserTokenType, AttributeIds, ClientMonitoredItem, TimestampsToReturn, constructEventFilter,
} = require("node-opcua-client");
const { OPCUACertificateManager } = require("node-opcua-certificate-manager");

// Makes clients that share one certificate kept in `pkiFolder`; with `trustedFolder` (the
// server's trusted/certs), the certificate is put there too, so that a server started
// afterwards accepts secure channels from it.
async function makeClientFactory(pkiFolder, { trustedFolder, applicationName = "TavoxTestClient" } = {}) {
    const clientCertificateManager = new OPCUACertificateManager({ rootFolder: pkiFolder, automaticallyAcceptUnknownCertificate: true });
    const create = (securityMode, securityPolicy) => OPCUAClient.create({
        applicationName, applicationUri: `urn:localhost:${applicationName}`, clientCertificateManager,
        securityMode, securityPolicy, endpointMustExist: false, connectionStrategy: { maxRetry: 0 },
    });
    const probe = create();
    await probe.initializeCM();
    if (trustedFolder) {
        fs.mkdirSync(trustedFolder, { recursive: true });
        fs.copyFileSync(probe.certificateFile, path.join(trustedFolder, `${applicationName}.pem`));
    }
    // The certificate's file, for tests that trust or reject it as an administrator would.
    create.certificateFile = probe.certificateFile;
    return create;
}

async function withSession(client, url, identity, action) {
    await client.connect(url);
    try {
        const session = await client.createSession(identity);
        try {
            return await action(session);
        } finally {
            await session.close();
        }
    } finally {
        await client.disconnect();
    }
}

// The message of the promise's failure, or "accepted".
async function refusal(promise) {
    try {
        await promise;
    } catch (err) {
        return err.message;
    }
    return "accepted";
}

function userName(name, password) {
    return { type: UserTokenType.UserName, userName: name, password };
}

// Subscribes to the Server object's events; calls `onEvent` with the source node id, the
// active state, the limit state's text and whether the event is of a branch (an earlier state
// left to acknowledge).
async function watchConditionEvents(session, onEvent) {
    const subscription = await session.createSubscription2({ requestedPublishingInterval: 50, publishingEnabled: true });
    const item = ClientMonitoredItem.create(subscription, { nodeId: "i=2253", attributeId: AttributeIds.EventNotifier },
        { queueSize: 100, filter: constructEventFilter(["SourceNode", "BranchId", "ActiveState.Id", "LimitState.CurrentState"]) },
        TimestampsToReturn.Neither);
    // Events of other types than conditions leave the condition's fields empty.
    item.on("changed", ([source, branch, active, limit]) => onEvent({
        source: source.value ? source.value.toString() : null,
        active: Boolean(active.value),
        limit: limit.value ? limit.value.text : null,
        isBranch: Boolean(branch.value && !branch.value.isEmpty()),
    }));
    await new Promise((resolve) => item.once("initialized", resolve));
    return subscription;
}

// The states the condition of `sourceNodeId` takes, as they come: "High", ..., "Normal".
async function watchAlarmEvents(session, sourceNodeId) {
    const events = [];
    await watchConditionEvents(session, (event) => {
        if (event.source === sourceNodeId && !event.isBranch) {
            events.push(event.active ? event.limit : "Normal");
        }
    });
    return events;
}

// Waits until `list` has `count` entries or five seconds have passed.
async function waitForCount(list, count, timeoutMs = 5000) {
    const deadline = Date.now() + timeoutMs;
    while (list.length < count && Date.now() < deadline) {
        await new Promise((resolve) => setTimeout(resolve, 50));
    }
    return list;
}

module.exports = { makeClientFactory, withSession, refusal, userName, watchConditionEvents, watchAlarmEvents, waitForCount };
