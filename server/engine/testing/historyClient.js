"use strict";
// A client for the tests of logged history: logs on by user name over security mode None, runs
// its steps in one session and prints "result: <JSON array of their results>".
//   node historyClient.js URL USER PASSWORD NAMESPACE_URI PKI_FOLDER STEPS_JSON
// Steps name a variable by its identifier in the namespace; values are in the channel's form:
//   {"write": "s=Plant.Count", "dataType": "Int32", "values": [1, 2]} -> {"from": ISO, "to": ISO}
//   {"read": "s=Plant.Count", "start": ISO, "end": ISO, "max": 600}  -> {"statuses": [per page], "values": [...]}

const { OPCUAClient, MessageSecurityMode, SecurityPolicy, UserTokenType, AttributeIds, StatusCodes, TimestampsToReturn } = require("node-opcua-client");
const { OPCUACertificateManager } = require("node-opcua-certificate-manager");
const { ReadRawModifiedDetails, HistoryReadRequest } = require("node-opcua-types");
const { valueFields, dataValueFrom } = require("../historyValues");

const [url, userName, password, namespaceUri, pkiFolder, stepsText] = process.argv.slice(2);

async function write(session, nodeId, { dataType, values }) {
    const from = new Date().toISOString();
    for (const value of values) {
        const status = await session.write({ nodeId, attributeId: AttributeIds.Value, value: dataValueFrom({ dataType, value }) });
        if (status !== StatusCodes.Good) {
            throw new Error(`write of ${JSON.stringify(value)} to ${nodeId}: ${status.toString()}`);
        }
    }
    // A read's end is not included: "to" is a millisecond past the last write's time.
    return { from, to: new Date(Date.now() + 1).toISOString() };
}

// Follows the continuation points to the end.
async function read(session, nodeId, { start, end, max }) {
    const historyReadDetails = new ReadRawModifiedDetails({ startTime: new Date(start), endTime: new Date(end), numValuesPerNode: max || 0 });
    const result = { statuses: [], values: [] };
    let continuationPoint = null;
    do {
        const response = await session.historyRead(new HistoryReadRequest({
            historyReadDetails, timestampsToReturn: TimestampsToReturn.Both, nodesToRead: [{ nodeId, continuationPoint }],
        }));
        const { statusCode, historyData } = response.results[0];
        result.statuses.push(statusCode.name);
        result.values.push(...(historyData ? historyData.dataValues : []).map(valueFields));
        continuationPoint = response.results[0].continuationPoint;
    } while (continuationPoint && continuationPoint.length > 0 && result.statuses.length < 100);
    return result;
}

async function main() {
    const client = OPCUAClient.create({
        applicationName: "HistoryTest", endpointMustExist: false, connectionStrategy: { maxRetry: 3, initialDelay: 200 },
        securityMode: MessageSecurityMode.None, securityPolicy: SecurityPolicy.None,
        clientCertificateManager: new OPCUACertificateManager({ rootFolder: pkiFolder, automaticallyAcceptUnknownCertificate: true }),
    });
    await client.connect(url);
    try {
        const session = await client.createSession({ type: UserTokenType.UserName, userName, password });
        const ns = (await session.readNamespaceArray()).indexOf(namespaceUri);
        const results = [];
        for (const step of JSON.parse(stepsText)) {
            const nodeId = `ns=${ns};${step.write || step.read}`;
            results.push(await (step.write ? write : read)(session, nodeId, step));
        }
        await session.close();
        return results;
    } finally {
        await client.disconnect();
    }
}

// Standard output to a pipe is written asynchronously: the exit waits for the line.
const finish = (code, result) => process.stdout.write(`result: ${JSON.stringify(result)}\n`, () => process.exit(code));
main().then((results) => finish(0, results), (err) => finish(1, { error: err.message }));
