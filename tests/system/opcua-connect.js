'use strict';
// Logs on to the installed server as a user of its table and reads the server's state, with
// the OPC UA client that the engine itself ships (no client of our own in the guest).
//
//   node opcua-connect.js ENGINE_DIR PORT USER PASSWORD
// Exits 0 when the server is read as running, 1 otherwise; a refused logon prints
// "access denied".

const os = require('os');
const path = require('path');

const [engineDir, port, userName, password] = process.argv.slice(2);
if (!password) {
    console.error('usage: opcua-connect.js ENGINE_DIR PORT USER PASSWORD');
    process.exit(1);
}
const fromEngine = (name) => require(require.resolve(name, { paths: [engineDir] }));
const opcua = fromEngine('node-opcua-client');
const { OPCUACertificateManager } = fromEngine('node-opcua-certificate-manager');

// The client's own certificate goes to a throw-away folder, not into a home directory.
function clientCertificates() {
    const rootFolder = path.join(os.tmpdir(), 'tavox-test-client-pki');
    return new OPCUACertificateManager({ rootFolder, automaticallyAcceptUnknownCertificate: true });
}

async function readServerState() {
    const client = opcua.OPCUAClient.create({
        applicationName: 'tavox system test',
        endpointMustExist: false,
        securityMode: opcua.MessageSecurityMode.None,
        securityPolicy: opcua.SecurityPolicy.None,
        connectionStrategy: { maxRetry: 0, initialDelay: 100, maxDelay: 200 },
        clientCertificateManager: clientCertificates(),
    });
    await client.connect(`opc.tcp://localhost:${port}`);
    try {
        let session;
        try {
            session = await client.createSession({ type: opcua.UserTokenType.UserName, userName, password });
        } catch (error) {
            console.log(`access denied: ${error.message}`);
            return false;
        }
        const state = await session.read({ nodeId: 'ns=0;i=2259', attributeId: opcua.AttributeIds.Value });
        await session.close();
        // ServerState 0 is Running.
        console.log(`logged on as ${userName}: server state ${state.value.value} (${state.statusCode.name})`);
        return state.statusCode.isGood() && state.value.value === 0;
    } finally {
        await client.disconnect();
    }
}

const timer = setTimeout(() => {
    console.log(`no answer from opc.tcp://localhost:${port} within 20 s`);
    process.exit(1);
}, 20000);
readServerState().then(
    (running) => {
        clearTimeout(timer);
        process.exit(running ? 0 : 1);
    },
    (error) => {
        clearTimeout(timer);
        console.log(`cannot read the server state: ${error.message}`);
        process.exit(1);
    }
);
