"use strict";
// What an alarm reports to the daemon: its state names, the limits its condition gets, and
// which changes of state are reported (every activation, change of level and return to
// normal; nothing while the state stays).

const LIMIT_OPTIONS = [
    ["highHigh", "highHighLimit"],
    ["high", "highLimit"],
    ["low", "lowLimit"],
    ["lowLow", "lowLowLimit"],
];

// The limits of a level alarm as the library's options; a limit not set is left out, so
// that its state does not exist on the condition.
function limitOptions(alarm) {
    const options = {};
    for (const [limit, option] of LIMIT_OPTIONS) {
        if (typeof alarm[limit] === "number") {
            options[option] = alarm[limit];
        }
    }
    return options;
}

// The library names the level of an exclusive limit alarm "HighHigh", "High", "Low",
// "LowLow", or none when the value is within its limits.
function levelState(limitStateName) {
    return limitStateName || "Normal";
}

function offNormalState(active) {
    return active ? "Active" : "Normal";
}

// Calls report(state) whenever the state read differs from the last one; the first state is
// reported only when it is not normal (an alarm active from the start).
function createTransitionWatch(readState, report) {
    let last = "Normal";
    return function check() {
        const state = readState();
        if (state !== last) {
            last = state;
            report(state);
        }
    };
}

module.exports = { limitOptions, levelState, offNormalState, createTransitionWatch };
