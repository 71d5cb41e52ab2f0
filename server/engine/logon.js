"use strict";
// Which logons the server accepts: user name and password always; anonymous only when its
// flag is set; a user certificate (X509 token) only when its flag is set. There is no
// Windows-account logon on this platform.
//
// A certificate logs on as the user its common name names, with that user's rights, once
// the certificate is trusted in the user certificate store; "root" logs on by password only.

const crypto = require("crypto");
const { UserTokenType } = require("node-opcua-types");
const { StatusCodes } = require("node-opcua-status-code");
const { rolesFor } = require("./rights");
const { ROOT } = require("./users");

// The library's user manager: the password check and the roles of a logged-on name.
function createUserManager(directory) {
    return {
        isValidUser: (userName, password) => directory.authenticate(userName, password),
        getUserRoles: (userName) => rolesFor(directory.rightsOf(userName)),
    };
}

function commonName(certificateDer) {
    try {
        const subject = new crypto.X509Certificate(certificateDer).subject;
        const match = /^CN=(.*)$/m.exec(subject);
        return match ? match[1] : "";
    } catch {
        return "";
    }
}

// The library offers anonymous and certificate token policies on every endpoint and cannot be
// told otherwise; the policies a flag turns off are taken out of the endpoint descriptions,
// so that clients do not see them and the library refuses such tokens at activation.
function withholdTokenPolicies(server, logon) {
    const refused = new Set();
    if (!logon.anonymous) {
        refused.add(UserTokenType.Anonymous);
    }
    if (!logon.certificate) {
        refused.add(UserTokenType.Certificate);
    }
    for (const endpoint of server.endpoints) {
        for (const description of endpoint.endpointDescriptions()) {
            description.userIdentityTokens = description.userIdentityTokens.filter((token) => !refused.has(token.tokenType));
        }
    }
}

// Refuses certificate tokens at activation as well, when certificate logon is off or the
// certificate names root.
function guardCertificateLogon(server, logon, log) {
    const check = server.isValidX509IdentityToken.bind(server);
    server.isValidX509IdentityToken = (channel, session, policy, token, signature, callback) => {
        const name = commonName(token.certificateData);
        if (!logon.certificate || name === ROOT) {
            log.info(`certificate logon refused for "${name}": ${logon.certificate ? "root logs on by password only" : "certificate logon is off"}`);
            return callback(null, StatusCodes.BadIdentityTokenRejected);
        }
        return check(channel, session, policy, token, signature, callback);
    };
}

function applyLogonPolicy(server, logon, log) {
    withholdTokenPolicies(server, logon);
    guardCertificateLogon(server, logon, log);
    log.info(`logon: user name and password; anonymous ${logon.anonymous ? "on" : "off"}; certificate ${logon.certificate ? "on" : "off"}`);
}

module.exports = { createUserManager, applyLogonPolicy, commonName };
