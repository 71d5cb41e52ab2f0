"use strict";
// Builds and starts the OPC UA server from a checked hand-off.

const { OPCUAServer } = require("node-opcua-server");
const addressSpaceTools = require("./addressSpace");
const { installAlarms } = require("./alarms");
const { openCertificateStores } = require("./certificates");
const { checkPortFree, endpointOptions, offeredEndpoints, logEndpoints } = require("./endpoints");
const { createHistoryStore, installHistory } = require("./history");
const { applyLogonPolicy, createUserManager } = require("./logon");
const { restrictNodes } = require("./rights");
const { watchTrust } = require("./trustReload");
const { createDirectory } = require("./users");

const { findConfiguredNode } = addressSpaceTools;

// The library does not report some failures of its own start-up and fails later with an
// unrelated error instead (see addressSpace.js); such an error while the address space is
// built is the node configuration's.
async function initializeServer(server, config, library) {
    const crashes = [];
    const onCrash = (err) => crashes.push(err);
    process.on("unhandledRejection", onCrash);
    try {
        await server.initialize();
        await new Promise((resolve) => setImmediate(resolve));
    } finally {
        process.off("unhandledRejection", onCrash);
    }
    if (crashes.length > 0) {
        const cause = library.loaderError || crashes[0].message;
        throw new addressSpaceTools.NodeConfigError(`the node configuration file ${config.nodeConfig} does not load: ${cause}`);
    }
}

function buildAddressSpace(server, config, declaration, { log, library, report }) {
    const addressSpace = server.engine.addressSpace;
    const loaded = addressSpaceTools.checkLoaded(addressSpace, declaration, config.nodeConfig, library.loaderError);
    const namespaces = addressSpaceTools.fileNamespaces(addressSpace, declaration);
    restrictNodes(namespaces, { anonymous: config.logon.anonymous });
    log.info(`node configuration ${config.nodeConfig}: ${loaded} nodes in ${namespaces.map((n) => n.namespaceUri).join(", ")}`);

    const context = { addressSpace, namespace: addressSpace.getOwnNamespace(), findNode: findConfiguredNode, report };
    const reportActiveAlarms = installAlarms(context, config.alarms, log);
    const history = createHistoryStore(config.history, { send: report, log });
    const historized = installHistory(addressSpace, config.historized, history, findConfiguredNode, log);
    log.info(`history: ${historized} variables ${history.description}`);
    return { reportActiveAlarms, history };
}

// Starts the server; resolves with the server, the endpoints it offers and the watch that
// keeps its trust lists current.
async function startEngine(config, { log, library, report }) {
    await checkPortFree(config.port);
    const declaration = addressSpaceTools.readNodeConfig(config.nodeConfig);
    const stores = await openCertificateStores(config.pki, config, log);
    const trust = watchTrust(config.pki, log);
    const directory = createDirectory(config, log);
    const server = new OPCUAServer({
        ...endpointOptions(config),
        serverInfo: {
            applicationUri: config.applicationUri,
            productUri: "urn:Tavox:Server",
            applicationName: { text: "Tavox Server", locale: "en" },
        },
        buildInfo: { productName: "Tavox Server", manufacturerName: "MORVANE" },
        nodeset_filename: addressSpaceTools.nodesetFiles(config.nodeConfig),
        certificateFile: config.pki.certificateFile,
        privateKeyFile: config.pki.privateKeyFile,
        serverCertificateManager: stores.serverCertificateManager,
        userCertificateManager: stores.userCertificateManager,
        userManager: createUserManager(directory),
        isAuditing: false,
    });
    await initializeServer(server, config, library);
    applyLogonPolicy(server, config.logon, log);
    const { reportActiveAlarms, history } = buildAddressSpace(server, config, declaration, { log, library, report });
    await server.start();
    trust.attach(server);
    const endpoints = offeredEndpoints(server);
    logEndpoints(endpoints, log);
    return { server, endpoints, reportActiveAlarms, history, trust };
}

module.exports = { startEngine };
