"use strict";
// The rights of the user table as OPC UA roles and role permissions. Each right is one role;
// the nodes of the node configuration file grant each role its permissions, so that the
// library refuses the rest with BadUserAccessDenied and a client's UserAccessLevel and
// browse results show what the session may really do.
//
//   Read        Observer   browse, read values and history, receive events
//   Write       Operator   write values (where the node's access level allows writing)
//   Executable  Engineer   call methods
//
// An anonymous session, where anonymous logon is on, may read like Observer.

const { makeRoles, WellKnownRoles } = require("node-opcua-address-space");
const { PermissionType } = require("node-opcua-types");

const READ_PERMISSIONS = PermissionType.Browse | PermissionType.ReadRolePermissions |
    PermissionType.Read | PermissionType.ReadHistory | PermissionType.ReceiveEvents;

const ROLE_OF_RIGHT = {
    read: WellKnownRoles.Observer,
    write: WellKnownRoles.Operator,
    execute: WellKnownRoles.Engineer,
};

// The roles of a session with these rights. A new array each time: the library appends to it.
function rolesFor(rights) {
    if (!rights) {
        return [];
    }
    return makeRoles(Object.keys(ROLE_OF_RIGHT).filter((right) => rights[right]).map((right) => ROLE_OF_RIGHT[right]));
}

function rolePermissions({ anonymous }) {
    const grants = [
        [WellKnownRoles.Observer, READ_PERMISSIONS],
        [WellKnownRoles.Operator, PermissionType.Write],
        [WellKnownRoles.Engineer, PermissionType.Call],
    ];
    if (anonymous) {
        grants.push([WellKnownRoles.Anonymous, READ_PERMISSIONS]);
    }
    return grants.map(([role, permissions]) => ({ roleId: makeRoles([role])[0], permissions }));
}

// Puts the role permissions on every node of the given namespaces; returns how many.
function restrictNodes(namespaces, { anonymous }) {
    const permissions = rolePermissions({ anonymous });
    let count = 0;
    for (const namespace of namespaces) {
        for (const node of namespace.nodeIterator()) {
            node.setRolePermissions(permissions);
            count += 1;
        }
    }
    return count;
}

module.exports = { rolesFor, rolePermissions, restrictNodes };
