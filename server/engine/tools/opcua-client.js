"use strict";
// A command-line OPC UA client for trying the server: browse, read, write and read history as
// one of its users. Runs on the engine's development packages (node-opcua-client); see
// scripts/opcua-client.sh, which names them and the demo's files.

const os = require("os");
const path = require("path");
const util = require("util");

const USAGE = `Usage: opcua-client.sh COMMAND [ARGUMENTS] [OPTIONS]

Commands:
  browse [NODEID]           the node's children with their values (default: the Objects folder)
  read NODEID               the variable's value, its data type and what the session may do with it
  write NODEID VALUE        writes VALUE as the variable's data type (Boolean, a number or a
                            string), then shows the alarm events the write raised
  history NODEID [MINUTES]  the values the server keeps of the last MINUTES (60)

Options:
  --url URL                 the server (opc.tcp://localhost:48010, the demo's)
  --user NAME               log on as NAME (anonymous without it)
  --password PASSWORD       NAME's password (as an argument: for trying the demo)
  --secure                  SignAndEncrypt with Basic256Sha256 instead of no security; the
                            server must trust this client's certificate (tavox-admin
                            certificates list, then certificates trust THUMBPRINT)
  --nodeconfig FILE         the node configuration file whose ns=1, ns=2 ... NODEID means
  --pki FOLDER              where this client keeps its certificate

NODEID as the node configuration file writes it ('ns=1;s=Boiler.Temperature', quoted for the
shell; ns=1 is the file's first namespace, found on the server by its URI), as
'nsu=URI;s=...', or of the standard namespace ('i=2253').`;

class UsageError extends Error {}

const VALUED = new Set(["--url", "--user", "--password", "--nodeconfig", "--pki"]);

function parseCommandLine(argv) {
    const options = { url: "opc.tcp://localhost:48010", secure: false };
    const words = [];
    for (let i = 0; i < argv.length; i += 1) {
        const arg = argv[i];
        if (arg === "--help" || arg === "-h") {
            return { help: true };
        } else if (arg === "--secure") {
            options.secure = true;
        } else if (VALUED.has(arg)) {
            if (i + 1 >= argv.length) {
                throw new UsageError(`${arg} needs a value`);
            }
            options[arg.slice(2)] = argv[(i += 1)];
        } else if (arg.startsWith("--")) {
            throw new UsageError(`unknown option ${arg}`);
        } else {
            words.push(arg);
        }
    }
    const [command, ...args] = words;
    const arity = { browse: [0, 1], read: [1, 1], write: [2, 2], history: [1, 2] }[command];
    if (!arity) {
        throw new UsageError(command ? `unknown command ${command}` : "no command given");
    }
    if (args.length < arity[0] || args.length > arity[1]) {
        throw new UsageError(`${command} takes ${arity[0] === arity[1] ? arity[0] : `${arity[0]} or ${arity[1]}`} arguments`);
    }
    if (options.password !== undefined && options.user === undefined) {
        throw new UsageError("--password without --user");
    }
    return { command, args, options };
}

// node-opcua's own notes go to standard error, one line each; its warning about RSA PKCS#1
// v1.5 on this Node.js concerns a policy the server does not offer.
function quietLibrary() {
    const debug = require("node-opcua-debug");
    const note = (context, ...args) => {
        if (context.filename !== "verify_pcks1") {
            process.stderr.write(`node-opcua: ${util.format(...args)}\n`);
        }
    };
    debug.setWarningLogger(note);
    debug.setErrorLogger(note);
    debug.setDebugLogger(() => {});
    debug.setTraceLogger(() => {});
}

function fileUris(nodeConfig) {
    if (!nodeConfig) {
        return [];
    }
    const { readNodeConfig } = require("../addressSpace");
    try {
        return readNodeConfig(nodeConfig).namespaceUris;
    } catch (err) {
        process.stderr.write(`opcua-client: ${err.message}; ns=1, ns=2 ... cannot be resolved\n`);
        return [];
    }
}

function valueText(dataValue, DataType) {
    const variant = dataValue.value;
    const value = variant ? variant.value : null;
    // A Float shown with the digits it holds, not those of the double it is read into.
    const text = value instanceof Date ? value.toISOString()
        : typeof value === "number" && variant.dataType === DataType.Float ? String(Number(value.toPrecision(7)))
            : value && value.text !== undefined ? value.text : String(value);
    return dataValue.statusCode.value === 0 ? text : `${text} (${dataValue.statusCode.name})`;
}

async function main(argv) {
    const { command, args, options, help } = parseCommandLine(argv);
    if (help) {
        process.stdout.write(USAGE + "\n");
        return 0;
    }
    quietLibrary();
    const client = require("node-opcua-client");
    const { makeClientFactory, withSession, userName, watchConditionEvents } = require("../testing/opcuaClient");
    const { createNodeIds } = require("./fileNodeIds");
    const { AttributeIds, DataType, MessageSecurityMode, SecurityPolicy, NodeClass, BrowseDirection } = client;

    const pki = options.pki || path.join(process.env.XDG_CONFIG_HOME || path.join(os.homedir(), ".config"), "tavox", "opcua-client");
    const createClient = await makeClientFactory(pki, { applicationName: "TavoxClient" });
    const opcua = options.secure
        ? createClient(MessageSecurityMode.SignAndEncrypt, SecurityPolicy.Basic256Sha256)
        : createClient(MessageSecurityMode.None, SecurityPolicy.None);
    const identity = options.user === undefined ? {} : userName(options.user, options.password || "");
    const uris = fileUris(options.nodeconfig);

    return withSession(opcua, options.url, identity, async (session) => {
        const ids = createNodeIds(uris, await session.readNamespaceArray());
        const out = (line) => process.stdout.write(line + "\n");

        async function dataTypeOf(nodeId) {
            const read = await session.read({ nodeId, attributeId: AttributeIds.DataType });
            const type = read.value.value;
            if (read.statusCode.value !== 0 || !type || type.namespace !== 0 || !DataType[type.value]) {
                throw new Error(`${args[0]} is not a variable of a built-in data type (${read.statusCode.name})`);
            }
            return type.value;
        }

        if (command === "browse") {
            const nodeId = args[0] ? ids.toServer(args[0]) : "i=85";
            const result = await session.browse({ nodeId, browseDirection: BrowseDirection.Forward, referenceTypeId: "HierarchicalReferences", includeSubtypes: true, resultMask: 63 });
            // A variable is also reached as an event source of its object: each node once.
            const references = (result.references || []).filter((r, i, all) => all.findIndex((o) => o.nodeId.toString() === r.nodeId.toString()) === i);
            const variables = references.filter((r) => r.nodeClass === NodeClass.Variable);
            const values = variables.length === 0 ? [] : await session.read(variables.map((r) => ({ nodeId: r.nodeId, attributeId: AttributeIds.Value })));
            for (const reference of references) {
                const index = variables.indexOf(reference);
                out(`${ids.fromServer(reference.nodeId)}  ${reference.browseName.name}  ${NodeClass[reference.nodeClass]}` +
                    (index >= 0 ? `  = ${valueText(values[index], DataType)}` : ""));
            }
            return result.statusCode.value === 0 ? 0 : (out(`browse: ${result.statusCode.name}`), 1);
        }

        const nodeId = ids.toServer(args[0]);
        if (command === "read") {
            const [value, type, level] = await session.read([AttributeIds.Value, AttributeIds.DataType, AttributeIds.UserAccessLevel]
                .map((attributeId) => ({ nodeId, attributeId })));
            const rights = level.value.value === null ? "" : [[1, "read"], [2, "write"], [4, "read history"]]
                .filter(([bit]) => level.value.value & bit).map(([, name]) => name).join(", ");
            out(`${args[0]} = ${valueText(value, DataType)}` + (type.value.value ? ` (${DataType[type.value.value.value] || type.value.value.toString()})` : "") +
                (rights ? `; this session may ${rights}` : ""));
            return value.statusCode.value === 0 ? 0 : 1;
        }

        if (command === "write") {
            const dataType = await dataTypeOf(nodeId);
            const value = parseValue(args[1], dataType, DataType);
            const events = [];
            await watchConditionEvents(session, (event) => {
                if (event.source === nodeId && !event.isBranch) {
                    events.push(event.active ? event.limit || "Active" : "Normal");
                }
            });
            const status = await session.write({ nodeId, attributeId: AttributeIds.Value, value: { value: { dataType, value } } });
            out(`write ${args[0]} = ${args[1]}: ${status.name}`);
            await new Promise((resolve) => setTimeout(resolve, 1000));
            for (const state of events) {
                out(`alarm on ${args[0]}: ${state}`);
            }
            return status.value === 0 ? 0 : 1;
        }

        const minutes = args[1] === undefined ? 60 : Number(args[1]);
        if (!(minutes > 0)) {
            throw new Error(`history: ${args[1]} is not a number of minutes`);
        }
        const end = new Date();
        const history = await session.readHistoryValue(nodeId, new Date(end - minutes * 60000), end);
        for (const dataValue of (history.historyData && history.historyData.dataValues) || []) {
            out(`${dataValue.sourceTimestamp ? dataValue.sourceTimestamp.toISOString() : "-"}  ${valueText(dataValue, DataType)}`);
        }
        out(`history of ${args[0]}: ${history.statusCode.name}`);
        return history.statusCode.value === 0 ? 0 : 1;
    });
}

// The text as a value of the built-in type `dataType`.
function parseValue(text, dataType, DataType) {
    const name = DataType[dataType];
    if (dataType === DataType.Boolean) {
        if (!["true", "false", "1", "0"].includes(text.toLowerCase())) {
            throw new Error(`${text} is not a Boolean (true or false)`);
        }
        return text.toLowerCase() === "true" || text === "1";
    }
    if (dataType === DataType.String) {
        return text;
    }
    if (/^(S?Byte|U?Int(16|32|64))$/.test(name)) {
        if (!/^-?[0-9]+$/.test(text) || !Number.isSafeInteger(Number(text))) {
            throw new Error(`${text} is not a whole number this client writes (the variable is of type ${name})`);
        }
        return Number(text);
    }
    if (dataType === DataType.Float || dataType === DataType.Double) {
        const number = Number(text);
        if (text.trim() === "" || !Number.isFinite(number)) {
            throw new Error(`${text} is not a number`);
        }
        return number;
    }
    throw new Error(`the variable is of type ${name}, which this client does not write`);
}

main(process.argv.slice(2)).then((code) => process.exit(code), (err) => {
    process.stderr.write(`opcua-client: ${err.message}\n`);
    if (err instanceof UsageError) {
        process.stderr.write("opcua-client: --help shows the commands and options\n");
        process.exit(2);
    }
    if (/ANONYMOUS user token policy/.test(err.message)) {
        process.stderr.write("opcua-client: the server does not take anonymous logons: give --user NAME --password PASSWORD\n");
    }
    if (/BadSecurityChecksFailed|BadCertificate|rejected by server/.test(err.message)) {
        process.stderr.write("opcua-client: with --secure the server must trust this client's certificate: " +
            "tavox-admin certificates list, then tavox-admin certificates trust THUMBPRINT\n");
    }
    process.exit(1);
});
