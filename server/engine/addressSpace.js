"use strict";
// The address space: the standard nodeset plus the node configuration file. The library
// renumbers namespaces (the file's ns=1 is ns=2 here, after the server's own), so nodes are
// found by namespace URI and identifier, never by index.
//
// The library's loader neither stops on a broken file nor always reports it: it may load a
// truncated file in part, or fail on the next step with an unrelated error. So the file is
// looked at first, and after loading the nodes found are counted against the nodes declared.

const fs = require("fs");
const { nodesets } = require("node-opcua-nodesets");

class NodeConfigError extends Error {}

const COMMENTS = /<!--[\s\S]*?-->/g;
const NODE_ELEMENT = /<UA(?:Object|Variable|Method|View|ObjectType|VariableType|DataType|ReferenceType)\s[^>]*?(?<=\s)NodeId="ns=([0-9]+);/g;
const NAMESPACE_URIS = /<NamespaceUris>([\s\S]*?)<\/NamespaceUris>/;
const URI = /<Uri>([\s\S]*?)<\/Uri>/g;

function decodeXmlText(text) {
    return text
        .trim()
        .replace(/&lt;/g, "<")
        .replace(/&gt;/g, ">")
        .replace(/&quot;/g, "\"")
        .replace(/&apos;/g, "'")
        .replace(/&amp;/g, "&");
}

// What the file declares: its namespace URIs in order (the file's ns=1 first) and how many
// nodes it defines in them.
function inspectNodeConfig(text) {
    const body = text.replace(COMMENTS, "");
    if (!/<UANodeSet[\s>]/.test(body)) {
        throw new NodeConfigError("it is not an OPC UA nodeset (no UANodeSet element)");
    }
    const list = NAMESPACE_URIS.exec(body);
    const namespaceUris = list ? [...list[1].matchAll(URI)].map((m) => decodeXmlText(m[1])) : [];
    let declaredNodes = 0;
    for (const match of body.matchAll(NODE_ELEMENT)) {
        if (Number(match[1]) >= 1) {
            declaredNodes += 1;
        }
    }
    return { namespaceUris, declaredNodes };
}

function readNodeConfig(file) {
    let text;
    try {
        text = fs.readFileSync(file, "utf8");
    } catch (err) {
        throw new NodeConfigError(`the node configuration file ${file} cannot be read: ${err.message}`);
    }
    try {
        return inspectNodeConfig(text);
    } catch (err) {
        throw new NodeConfigError(`the node configuration file ${file} does not load: ${err.message}`);
    }
}

function nodesetFiles(nodeConfig) {
    return [nodesets.standard, nodeConfig];
}

function fileNamespaces(addressSpace, declaration) {
    return declaration.namespaceUris
        .map((uri) => addressSpace.getNamespace(uri))
        .filter((namespace) => namespace !== null && namespace !== undefined);
}

// Throws when the library loaded fewer of the file's nodes than the file declares.
function checkLoaded(addressSpace, declaration, file, loaderError) {
    const loaded = fileNamespaces(addressSpace, declaration)
        .reduce((count, namespace) => count + [...namespace.nodeIterator()].length, 0);
    if (loaded < declaration.declaredNodes) {
        const cause = loaderError ? loaderError.replace(/^.*failed with error\s*/, "") : `${loaded} of its ${declaration.declaredNodes} nodes loaded`;
        throw new NodeConfigError(`the node configuration file ${file} does not load: ${cause}`);
    }
    return loaded;
}

// The node a reference of the hand-off names, or null.
function findConfiguredNode(addressSpace, { namespaceUri, identifier }) {
    const index = addressSpace.getNamespaceIndex(namespaceUri);
    if (index < 0) {
        return null;
    }
    return addressSpace.findNode(`ns=${index};${identifier}`) || null;
}

module.exports = { readNodeConfig, inspectNodeConfig, nodesetFiles, fileNamespaces, checkLoaded, findConfiguredNode, NodeConfigError };
