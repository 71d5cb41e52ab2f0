"use strict";
// The opc.tcp endpoint: its port, the computer name in its URL, and the security modes and
// policies it offers.
//
// Basic128Rsa15 is never offered: it is deprecated, and its RSA PKCS#1 v1.5 decryption is
// refused by current Node.js. Basic256 is offered beside the newer policies for the clients
// that only know it.

const net = require("net");
const { MessageSecurityMode, SecurityPolicy } = require("node-opcua-secure-channel");

const WANTED_POLICIES = ["Basic256", "Basic256Sha256", "Aes128_Sha256_RsaOaep", "Aes256_Sha256_RsaPss"];

function offeredPolicies() {
    return WANTED_POLICIES.filter((name) => SecurityPolicy[name] !== undefined).map((name) => SecurityPolicy[name]);
}

function securityModes(securityNone) {
    const modes = [MessageSecurityMode.Sign, MessageSecurityMode.SignAndEncrypt];
    return securityNone ? [MessageSecurityMode.None, ...modes] : modes;
}

// The endpoint part of the library's server options.
function endpointOptions(config) {
    return {
        port: config.port,
        hostname: config.hostName,
        alternateHostname: [],
        securityModes: securityModes(config.securityNone),
        securityPolicies: offeredPolicies(),
        allowAnonymous: config.logon.anonymous,
    };
}

function policyName(uri) {
    return uri.replace(/^.*#/, "");
}

// The endpoints clients may open sessions on, as the "listening" message lists them. Without
// the None mode, the library keeps a None endpoint that only answers discovery; it is left out.
function offeredEndpoints(server) {
    const offered = [];
    for (const endpoint of server.endpoints) {
        for (const description of endpoint.endpointDescriptions()) {
            if (description.restricted) {
                continue;
            }
            offered.push({
                url: description.endpointUrl,
                securityMode: MessageSecurityMode[description.securityMode],
                securityPolicy: policyName(description.securityPolicyUri),
            });
        }
    }
    return offered;
}

function logEndpoints(endpoints, log) {
    for (const endpoint of endpoints) {
        log.info(`endpoint ${endpoint.url} ${endpoint.securityMode} ${endpoint.securityPolicy}`);
    }
    const missing = WANTED_POLICIES.filter((name) => SecurityPolicy[name] === undefined);
    if (missing.length > 0) {
        log.warn(`security policies not available in this OPC UA stack: ${missing.join(", ")}`);
    }
    log.info("Basic128Rsa15 is not offered: it is deprecated, and Node.js refuses its RSA PKCS#1 v1.5 decryption");
}

// Binds the port for a moment, as the server will, so that a port in use fails the start in
// a second instead of after the address space is built. The server's own bind still decides.
function checkPortFree(port) {
    return new Promise((resolve, reject) => {
        const probe = net.createServer();
        probe.once("error", reject);
        probe.listen(port, () => probe.close(() => resolve()));
    });
}

module.exports = { checkPortFree, endpointOptions, offeredEndpoints, offeredPolicies, logEndpoints };
