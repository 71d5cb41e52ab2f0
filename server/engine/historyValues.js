"use strict";
// Values of historized variables on the channel to the daemon (README.md, "History messages"):
// a DataValue as the fields of a "value" message, and such fields back as the DataValue that
// a client reads. Each value keeps its OPC UA type by name; JSON numbers lose digits past 2^53,
// so 64-bit integers go as decimal text, and NaN and the infinities, which JSON lacks, as words.

const { DataType, Variant, VariantArrayType } = require("node-opcua-variant");
const { StatusCodes, coerceStatusCode } = require("node-opcua-status-code");
const { ExpandedNodeId, NodeId, resolveNodeId } = require("node-opcua-nodeid");

const MIN_OPCUA_TIME = Date.UTC(1601, 0, 1);

// ISO 8601 with milliseconds; null for none, the OPC UA minimum date included.
function timeText(date) {
    return date instanceof Date && !Number.isNaN(date.getTime()) && date.getTime() > MIN_OPCUA_TIME ? date.toISOString() : null;
}

// node-opcua keeps a 64-bit integer as [high, low] words; code that set a value itself may
// have given a number or a BigInt.
function int64Text(value, signed) {
    let bits;
    if (Array.isArray(value)) {
        bits = (BigInt(value[0] >>> 0) << 32n) | BigInt(value[1] >>> 0);
    } else {
        bits = BigInt(typeof value === "number" ? Math.trunc(value) : value);
    }
    return (signed ? BigInt.asIntN(64, bits) : BigInt.asUintN(64, bits)).toString();
}

function int64Words(text, signed) {
    const number = BigInt(text);
    if (number !== (signed ? BigInt.asIntN(64, number) : BigInt.asUintN(64, number))) {
        throw new RangeError(`${text} is out of range`);
    }
    const bits = BigInt.asUintN(64, number);
    return [Number(bits >> 32n), Number(bits & 0xffffffffn)];
}

// "svr=1;nsu=urn:x;s=Name": the expanded node id text form, with the namespace index form of
// the node id when it has no URI.
function expandedNodeIdText(id) {
    const plain = NodeId.prototype.toString.call(id);
    const text = id.namespaceUri ? `nsu=${id.namespaceUri};${plain.replace(/^ns=\d+;/, "")}` : plain;
    return id.serverIndex ? `svr=${id.serverIndex};${text}` : text;
}

function expandedNodeIdFrom(text) {
    const parts = /^(?:svr=(\d+);)?(?:nsu=([^;]*);)?(.*)$/s.exec(text);
    const id = resolveNodeId(parts[3]);
    return new ExpandedNodeId(id.identifierType, id.value, id.namespace, parts[2] || null, Number(parts[1] || 0));
}

function dateFrom(text) {
    const date = new Date(text);
    if (typeof text !== "string" || Number.isNaN(date.getTime())) {
        throw new RangeError(`${text} is not a date`);
    }
    return date;
}

const finiteOrWord = (v) => (Number.isFinite(v) ? v : String(v));
const asIs = (v) => v;

// By type name: [to the channel, from the channel]; null stays null both ways.
const CODECS = {
    Boolean: [Boolean, asIs],
    Int64: [(v) => int64Text(v, true), (v) => int64Words(v, true)],
    UInt64: [(v) => int64Text(v, false), (v) => int64Words(v, false)],
    Float: [finiteOrWord, Number],
    Double: [finiteOrWord, Number],
    StatusCode: [(v) => (typeof v === "number" ? v : v.value), coerceStatusCode],
    LocalizedText: [(v) => v.text === undefined ? null : v.text, (v) => ({ text: v })],
    DateTime: [(v) => v.toISOString(), dateFrom],
    ByteString: [(v) => Buffer.from(v).toString("base64"), (v) => Buffer.from(v, "base64")],
    NodeId: [(v) => v.toString(), resolveNodeId],
    ExpandedNodeId: [expandedNodeIdText, expandedNodeIdFrom],
    QualifiedName: [(v) => v.toString(), asIs],
    Guid: [String, asIs],
    String: [asIs, asIs],
    XmlElement: [asIs, asIs],
};
for (const name of ["SByte", "Byte", "Int16", "UInt16", "Int32", "UInt32"]) {
    CODECS[name] = [asIs, asIs];
}

// Another type (an extension object, say) goes as the JSON it makes; it does not come back.
function otherToChannel(v) {
    try {
        return JSON.parse(JSON.stringify(v));
    } catch (err) {
        return String(v);
    }
}

function encodeScalar(typeName, value) {
    if (value === null || value === undefined) {
        return null;
    }
    const codec = CODECS[typeName];
    return codec ? codec[0](value) : otherToChannel(value);
}

// The fields of a "value" message for a variable's DataValue. A matrix goes as its elements
// in order, without its dimensions.
function valueFields(dataValue) {
    const variant = dataValue.value;
    const typeName = variant ? DataType[variant.dataType] : "Null";
    let value = null;
    if (variant && variant.value !== null && variant.value !== undefined) {
        value = variant.arrayType === VariantArrayType.Scalar
            ? encodeScalar(typeName, variant.value)
            : Array.from(variant.value, (element) => encodeScalar(typeName, element));
    }
    return {
        sourceTime: timeText(dataValue.sourceTimestamp),
        serverTime: timeText(dataValue.serverTimestamp),
        status: dataValue.statusCode ? dataValue.statusCode.value : 0,
        dataType: typeName,
        value,
    };
}

function decodeScalar(typeName, value) {
    return value === null ? null : CODECS[typeName][1](value);
}

// The DataValue (as node-opcua's constructors take it) of a value of a "historyData" answer.
// A value that cannot be rebuilt as its type comes without it, with BadDataEncodingUnsupported
// (a type the engine does not know) or BadDecodingError (a value that does not fit its type).
function dataValueFrom(fields) {
    const typeName = fields.dataType;
    const dataValue = {
        sourceTimestamp: fields.sourceTime ? new Date(fields.sourceTime) : null,
        serverTimestamp: fields.serverTime ? new Date(fields.serverTime) : null,
        statusCode: coerceStatusCode(Number.isInteger(fields.status) ? fields.status : 0),
        value: new Variant({ dataType: DataType.Null }),
    };
    if (fields.value === null || fields.value === undefined) {
        return dataValue;
    }
    if (!CODECS[typeName]) {
        return { ...dataValue, statusCode: StatusCodes.BadDataEncodingUnsupported };
    }
    try {
        const isArray = Array.isArray(fields.value);
        dataValue.value = new Variant({
            dataType: DataType[typeName],
            // The library cannot tell a 64-bit scalar from an array without being told.
            arrayType: isArray ? VariantArrayType.Array : VariantArrayType.Scalar,
            value: isArray ? fields.value.map((v) => decodeScalar(typeName, v)) : decodeScalar(typeName, fields.value),
        });
    } catch (err) {
        return { ...dataValue, statusCode: StatusCodes.BadDecodingError };
    }
    return dataValue;
}

module.exports = { valueFields, dataValueFrom, timeText };
