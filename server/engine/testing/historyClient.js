"use strict";
// An OPC UA client for the tests of logged history: logs on with a user name over security
// mode None, runs the steps it is given in one session and prints one line "result: <JSON>".
//
//   node historyClient.js URL USER PASSWORD NAMESPACE_URI PKI_FOLDER STEPS_JSON
//
// Steps, each on a variable by its identifier in the namespace:
//   {"write": "s=Plant.Count", "dataType": "Int32", "values": [1, 2]}  values as on the channel
//        -> {"from": ISO time before the first write, "to": ISO time after the last}
//   {"read": "s=Plant.Count", "start": ISO, "end": ISO, "max": 600}     follows continuation points
//        -> {"statuses": [status name of each page], "values": [channel form of each value]}

const {
    OPCUAClient, MessageSecurityMode, SecurityPolicy, UserTokenType, AttributeIds, StatusCodes, TimestampsToReturn,
} = require("node-opcua-client");
const { OPCUACertificateManager } = require("node-opcua-certificate-manager");
const { ReadRawModifiedDetails, HistoryReadRequest } = require("node-opcua-types");
const { valueFields, dataValueFrom } = require("../historyValues");

const [url, userName, password, namespaceUri, pkiFolder, stepsText] = process.argv.slice(2);

async function write(session, nodeId, step) {
    const from = new Date();
    for (const value of step.values) {
        const { value: variant } = dataValueFrom({ dataType: step.dataType, value, status: 0 });
        const status = await session.write({ nodeId, attributeId: AttributeIds.Value, value: { value: variant } });
        if (status !== StatusCodes.Good) {
            throw new Error(`write of ${JSON.stringify(value)} to ${nodeId}: ${status.toString()}`);
        }
    }
    return { from: from.toISOString(), to: new Date().toISOString() };
}

async function read(session, nodeId, step) {
    const historyReadDetails = new ReadRawModifiedDetails({
        isReadModified: false, startTime: new Date(step.start), endTime: new Date(step.end), numValuesPerNode: step.max || 0,
    });
    const statuses = [];
    const values = [];
    let continuationPoint = null;
    do {
        const response = await session.historyRead(new HistoryReadRequest({
            historyReadDetails, timestampsToReturn: TimestampsToReturn.Both, releaseContinuationPoints: false,
            nodesToRead: [{ nodeId, continuationPoint }],
        }));
        const result = response.results[0];
        statuses.push(result.statusCode.name);
        values.push(...(result.historyData ? result.historyData.dataValues : []).map(valueFields));
        continuationPoint = result.continuationPoint && result.continuationPoint.length > 0 ? result.continuationPoint : null;
    } while (continuationPoint && statuses.length < 100);
    return { statuses, values };
}

async function main() {
    const clientCertificateManager = new OPCUACertificateManager({ rootFolder: pkiFolder, automaticallyAcceptUnknownCertificate: true });
    const client = OPCUAClient.create({
        applicationName: "HistoryTest", applicationUri: "urn:localhost:HistoryTest", clientCertificateManager,
        securityMode: MessageSecurityMode.None, securityPolicy: SecurityPolicy.None, endpointMustExist: false,
        connectionStrategy: { maxRetry: 3, initialDelay: 200, maxDelay: 1000 },
    });
    await client.connect(url);
    const results = [];
    try {
        const session = await client.createSession({ type: UserTokenType.UserName, userName, password });
        const ns = (await session.readNamespaceArray()).indexOf(namespaceUri);
        for (const step of JSON.parse(stepsText)) {
            const identifier = step.write || step.read;
            const nodeId = `ns=${ns};${identifier}`;
            results.push(step.write ? await write(session, nodeId, step) : await read(session, nodeId, step));
        }
        await session.close();
    } finally {
        await client.disconnect();
    }
    return results;
}

// Standard output to a pipe is written asynchronously: the exit waits for the line.
const finish = (code, result) => process.stdout.write(`result: ${JSON.stringify(result)}\n`, () => process.exit(code));
main().then((results) => finish(0, results), (err) => finish(1, { error: err.message }));
