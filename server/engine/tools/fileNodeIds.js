"use strict";
// Node ids as the node configuration file writes them ("ns=1;s=Boiler.Temperature": ns=1 is
// the file's first namespace URI) to and from the server's, which numbers its namespaces its
// own way: the two meet by namespace URI, never by index. "nsu=URI;s=..." names a namespace
// by URI directly; an id without "ns=" is of the standard namespace.

const PREFIX = /^(?:ns=([0-9]+)|nsu=([^;]+));(.+)$/;

class NodeIdError extends Error {}

// `fileUris`: the file's NamespaceUris (its ns=1 first); `serverUris`: the server's namespace array.
function createNodeIds(fileUris, serverUris) {
    function toServer(text) {
        const match = PREFIX.exec(text);
        if (!match) {
            return text;
        }
        const [, index, uri, identifier] = match;
        let namespaceUri = uri;
        if (index !== undefined) {
            if (Number(index) === 0) {
                return identifier;
            }
            namespaceUri = fileUris[Number(index) - 1];
            if (namespaceUri === undefined) {
                throw new NodeIdError(`${text}: the node configuration file has no namespace ${index}` +
                    (fileUris.length === 0 ? " (name the file with --nodeconfig, or the namespace with nsu=URI;)" : ""));
            }
        }
        const serverIndex = serverUris.indexOf(namespaceUri);
        if (serverIndex < 0) {
            throw new NodeIdError(`${text}: the server has no namespace ${namespaceUri}`);
        }
        return `ns=${serverIndex};${identifier}`;
    }

    function fromServer(nodeId) {
        const namespace = nodeId.namespace;
        const identifier = nodeId.toString().replace(/^ns=[0-9]+;/, "");
        if (namespace === 0) {
            return identifier;
        }
        const uri = serverUris[namespace];
        const fileIndex = fileUris.indexOf(uri);
        return fileIndex >= 0 ? `ns=${fileIndex + 1};${identifier}` : `nsu=${uri};${identifier}`;
    }

    return { toServer, fromServer };
}

module.exports = { createNodeIds, NodeIdError };
