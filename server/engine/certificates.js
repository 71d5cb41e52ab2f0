"use strict";
// The certificate stores: the server's own certificate and the trust lists of client
// applications (pki.root), and the trust list of certificates that log users on
// (pki.userRoot). Both live in the folders the daemon names, never under $HOME.

const fs = require("fs");
const os = require("os");
const path = require("path");
const { OPCUACertificateManager } = require("node-opcua-certificate-manager");

class CertificateError extends Error {}

// The library writes a missing private key with the process umask: the key is made under a
// umask that keeps it private from the first byte. The key's folder keeps the mode the daemon
// gives it (the daemon's unit may not set the set-group-ID bit, so it is never changed here).
async function withPrivateUmask(root, action) {
    fs.mkdirSync(path.join(root, "own", "private"), { recursive: true, mode: 0o750 });
    const previous = process.umask(0o077);
    try {
        return await action();
    } finally {
        process.umask(previous);
    }
}

function restrictKey(file) {
    if (fs.existsSync(file)) {
        fs.chmodSync(file, 0o600);
    }
}

// A certificate manager of one store, its folders read. The only place that builds them: at
// start and at every reload of the trust lists.
async function openStore(root) {
    const manager = new OPCUACertificateManager({ rootFolder: root, automaticallyAcceptUnknownCertificate: false });
    if (fs.existsSync(manager.privateKey)) {
        await manager.initialize();
    } else {
        await withPrivateUmask(root, () => manager.initialize());
    }
    restrictKey(manager.privateKey);
    return manager;
}

async function createSelfSigned(manager, pki, { applicationUri, hostName }, log) {
    if (path.resolve(pki.privateKeyFile) !== path.resolve(manager.privateKey)) {
        throw new CertificateError(
            `the certificate ${pki.certificateFile} does not exist, and a new one can only be made with the key ${manager.privateKey}`);
    }
    fs.mkdirSync(path.dirname(pki.certificateFile), { recursive: true });
    await manager.createSelfSignedCertificate({
        applicationUri,
        dns: [...new Set([hostName, os.hostname()])],
        outputFile: pki.certificateFile,
        subject: `/CN=Tavox Server@${hostName}`,
        startDate: new Date(),
        validity: 365 * 10,
    });
    log.info(`created a self-signed certificate ${pki.certificateFile}`);
}

// Opens both stores; makes a self-signed certificate when the daemon's certificate file is
// missing.
async function openCertificateStores(pki, identity, log) {
    const serverCertificateManager = await openStore(pki.root);
    const userCertificateManager = await openStore(pki.userRoot);
    if (!fs.existsSync(pki.certificateFile)) {
        await createSelfSigned(serverCertificateManager, pki, identity, log);
    }
    if (!fs.existsSync(pki.privateKeyFile)) {
        throw new CertificateError(`the private key ${pki.privateKeyFile} of the certificate ${pki.certificateFile} is missing`);
    }
    restrictKey(pki.privateKeyFile);
    return { serverCertificateManager, userCertificateManager };
}

module.exports = { openCertificateStores, openStore, CertificateError };
