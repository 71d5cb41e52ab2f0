"use strict";
// Alarm conditions on the variables of the node configuration: an ExclusiveLevelAlarm with
// the HighHigh, High, Low and LowLow limits set for a numeric variable, an OffNormalAlarm
// whose normal state is false for a Boolean one. Their events reach clients subscribed to
// the Server object with the variable as source; each change of state is also reported to
// the daemon.
//
// The library accepts a condition on a variable only when the variable is an event source
// of an object that is itself a notifier of the Server object: the variable's parent object
// gets a HasEventSource reference to it, and the Server object a HasNotifier to the parent.

const { levelState, limitOptions, offNormalState, createTransitionWatch } = require("./alarmState");

const NODE_CLASS_OBJECT = 1;
const NODE_CLASS_VARIABLE = 2;

// The nearest object above the variable; the Server object when there is none.
function parentObject(variable, serverObject) {
    let node = variable.parent;
    while (node && node.nodeClass !== NODE_CLASS_OBJECT) {
        node = node.parent;
    }
    return node || serverObject;
}

function makeEventSource(variable, serverObject) {
    const parent = parentObject(variable, serverObject);
    if (parent !== serverObject && serverObject.getNotifiers().indexOf(parent) < 0) {
        serverObject.addReference({ referenceType: "HasNotifier", nodeId: parent.nodeId });
    }
    parent.addReference({ referenceType: "HasEventSource", nodeId: variable.nodeId });
    return parent;
}

// The condition's node id in the server's own namespace, after the variable's: the library
// would otherwise derive it from the parent's, which lies in the file's namespace.
function alarmNodeId(namespace, variable, suffix) {
    const { value } = variable.nodeId;
    const base = typeof value === "string" ? value : `${variable.browseName.name}${value}`;
    return `ns=${namespace.index};s=${base}.${suffix}`;
}

function levelAlarm(namespace, variable, parent, alarm) {
    const condition = namespace.instantiateExclusiveLimitAlarm("ExclusiveLevelAlarmType", {
        nodeId: alarmNodeId(namespace, variable, "Alarm"),
        browseName: `${variable.browseName.name}Alarm`,
        componentOf: parent,
        conditionSource: variable,
        inputNode: variable,
        ...limitOptions(alarm),
    });
    return { condition, readState: () => levelState(condition.limitState.getCurrentState()) };
}

function offNormalAlarm(namespace, variable, parent) {
    const normalState = namespace.addVariable({
        nodeId: alarmNodeId(namespace, variable, "NormalState"),
        browseName: `${variable.browseName.name}NormalState`,
        dataType: "Boolean",
        value: { dataType: "Boolean", value: false },
    });
    const condition = namespace.instantiateOffNormalAlarm({
        nodeId: alarmNodeId(namespace, variable, "Alarm"),
        browseName: `${variable.browseName.name}Alarm`,
        componentOf: parent,
        conditionSource: variable,
        inputNode: variable,
        normalState,
    });
    // The library's message for an off-normal activation is a placeholder; the value says more.
    const update = condition.updateAlarmState.bind(condition);
    condition.updateAlarmState = (isActive) => update(isActive, String(variable.readValue().value.value));
    return { condition, readState: () => offNormalState(condition.activeState.getValue()) };
}

function installAlarm(context, alarm) {
    const { addressSpace, namespace, findNode, report } = context;
    const variable = findNode(addressSpace, alarm);
    if (!variable || variable.nodeClass !== NODE_CLASS_VARIABLE) {
        throw new Error("it is not a variable of the node configuration");
    }
    if (alarm.kind === "level" && Object.keys(limitOptions(alarm)).length === 0) {
        throw new Error("a level alarm needs at least one limit");
    }
    const serverObject = addressSpace.rootFolder.objects.server;
    const parent = makeEventSource(variable, serverObject);
    const { readState } = alarm.kind === "level"
        ? levelAlarm(namespace, variable, parent, alarm)
        : offNormalAlarm(namespace, variable, parent);
    const check = createTransitionWatch(readState, (state) => {
        report({ type: "alarm", nodeId: alarm.nodeId, state, value: variable.readValue().value.value });
    });
    // Listeners run in the order they were added: the condition's own, added when it was
    // made, has updated its state before this one reads it.
    variable.on("value_changed", check);
    return check;
}

// Installs the alarms of the hand-off; an alarm that cannot be made is left out with a log
// line. Returns a function that reports the alarms already active at start.
function installAlarms(context, alarms, log) {
    const checks = [];
    for (const alarm of alarms) {
        try {
            checks.push(installAlarm(context, alarm));
        } catch (err) {
            log.warn(`alarm on ${alarm.nodeId} (${alarm.namespaceUri}) not installed: ${err.message}`);
        }
    }
    log.info(`alarms: ${checks.length} of ${alarms.length} installed`);
    return () => checks.forEach((check) => check());
}

module.exports = { installAlarms };
