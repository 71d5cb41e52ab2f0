"use strict";
// User name and password logon against the stored digests: MD5 in lowercase hexadecimal over
// the password's eight-bit characters, then each digit replaced through the digit table the
// daemon hands over. The built-in administrator "root" is checked against the root digest.

const crypto = require("crypto");

const ROOT = "root";
const ALL_RIGHTS = Object.freeze({ read: true, write: true, execute: true });
const NO_DIGEST = Buffer.alloc(32, "-");

function substituteDigits(text, digitTable) {
    return text.replace(/[0-9]/g, (digit) => digitTable[digit.charCodeAt(0) - 48]);
}

// The digest of a password as the user table stores it, or null for a password that has
// characters the table cannot hold (above U+00FF), which therefore matches no stored digest.
function passwordDigest(password, digitTable) {
    if (/[^\u0000-\u00ff]/.test(password)) {
        return null;
    }
    const md5 = crypto.createHash("md5").update(Buffer.from(password, "latin1")).digest("hex");
    return substituteDigits(md5, digitTable);
}

function sameDigest(candidate, stored) {
    const a = candidate === null ? NO_DIGEST : Buffer.from(candidate, "latin1");
    const b = stored === null ? NO_DIGEST : Buffer.from(stored, "latin1");
    // Both are 32 characters, so the comparison takes the same time whatever matches.
    return crypto.timingSafeEqual(a, b) && candidate !== null && stored !== null;
}

// The accounts that may log on, by name: the user table plus root when it has a digest.
function createDirectory({ users, rootDigest, digitTable }, log) {
    const accounts = new Map();
    for (const user of users) {
        if (user.name === ROOT) {
            log.warn(`users: the table's user "${ROOT}" is ignored; "${ROOT}" logs on with the root password`);
        } else if (accounts.has(user.name)) {
            log.warn(`users: the user "${user.name}" appears twice in the table; the first entry counts`);
        } else {
            accounts.set(user.name, { digest: user.digest, rights: { read: user.read, write: user.write, execute: user.execute } });
        }
    }
    if (rootDigest !== null) {
        accounts.set(ROOT, { digest: rootDigest, rights: ALL_RIGHTS });
    }

    return {
        // True when the password matches the account's stored digest. Unknown names are
        // compared against nothing in the same time, so that timing does not tell which
        // names exist.
        authenticate(name, password) {
            const account = accounts.get(name);
            const candidate = passwordDigest(typeof password === "string" ? password : "", digitTable);
            const accepted = sameDigest(candidate, account ? account.digest : null);
            if (!accepted) {
                log.info(`logon refused for user "${name}": ${account ? "wrong password" : "no such user"}`);
            }
            return accepted;
        },
        rightsOf(name) {
            const account = accounts.get(name);
            return account ? account.rights : null;
        },
    };
}

module.exports = { createDirectory, passwordDigest, substituteDigits, ROOT };
