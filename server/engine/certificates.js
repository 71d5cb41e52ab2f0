"use strict";
// The certificate stores: the server's own certificate and the trust lists of client
// applications (pki.root), and the trust list of certificates that log users on
// (pki.userRoot). Both live in the folders the daemon names, never under $HOME.

const fs = require("fs");
const os = require("os");
const path = require("path");
const { OPCUACertificateManager } = require("node-opcua-certificate-manager");

class CertificateError extends Error {}

// The private key's folder is private before the library writes a key into it, so that the
// key is never readable by others, whatever the umask.
function preparePrivateFolder(root) {
    const privateFolder = path.join(root, "own", "private");
    fs.mkdirSync(privateFolder, { recursive: true });
    fs.chmodSync(privateFolder, 0o700);
}

function restrictKey(file) {
    if (fs.existsSync(file)) {
        fs.chmodSync(file, 0o600);
    }
}

async function openStore(root) {
    preparePrivateFolder(root);
    const manager = new OPCUACertificateManager({ rootFolder: root, automaticallyAcceptUnknownCertificate: false });
    await manager.initialize();
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

module.exports = { openCertificateStores, CertificateError };
