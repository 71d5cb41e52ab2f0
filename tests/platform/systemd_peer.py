#!/usr/bin/python3
"""Stands in for the systemd manager on a private bus, for tests.

Implements the calls the service manager adapter makes (LoadUnit, GetUnit, StartUnit,
StopUnit, Subscribe, and the Unit and Service properties with PropertiesChanged) for one
unit whose service really runs as a child process:

    systemd_peer.py [--job-delay-ms N] [--start-delay-ms N] [--stop-delay-ms N] UNIT -- COMMAND [ARG...]

Start: with a job delay, the start job waits that long while the unit stays inactive (as
systemd answers calls before it runs a queued job); then activating, and after the start
delay the command is spawned and the unit is active. Stop: deactivating, then (after the stop delay) SIGTERM; inactive when the child
ends by SIGTERM or with status 0, failed otherwise. Any other unit name loads as
"not-found". Prints "ready" on standard output once it owns its bus name.
"""

import argparse
import os
import signal
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

BUS_NAME = 'org.freedesktop.systemd1'
MANAGER_PATH = '/org/freedesktop/systemd1'
MANAGER_IFACE = 'org.freedesktop.systemd1.Manager'
UNIT_IFACE = 'org.freedesktop.systemd1.Unit'
SERVICE_IFACE = 'org.freedesktop.systemd1.Service'
PROPS_IFACE = 'org.freedesktop.DBus.Properties'


def unit_path(name):
    escaped = ''.join(c if c.isalnum() else '_%02x' % ord(c) for c in name)
    return MANAGER_PATH + '/unit/' + escaped


class Unit(dbus.service.Object):
    def __init__(self, bus, name, command, start_delay_ms=0, stop_delay_ms=0, job_delay_ms=0):
        super().__init__(bus, unit_path(name))
        self.job_delay_ms = job_delay_ms
        self.job = (0, '/')
        self.name = name
        self.command = command
        self.start_delay_ms = start_delay_ms
        self.stop_delay_ms = stop_delay_ms
        self.load_state = 'loaded' if command else 'not-found'
        self.active_state = 'inactive'
        self.sub_state = 'dead'
        self.pid = 0

    def properties(self, interface):
        if interface == UNIT_IFACE:
            return {
                'Id': dbus.String(self.name),
                'LoadState': dbus.String(self.load_state),
                'ActiveState': dbus.String(self.active_state),
                'SubState': dbus.String(self.sub_state),
                'Job': dbus.Struct((dbus.UInt32(self.job[0]), dbus.ObjectPath(self.job[1])), signature='uo'),
            }
        if interface == SERVICE_IFACE and self.command:
            return {'MainPID': dbus.UInt32(self.pid)}
        raise dbus.exceptions.DBusException(
            'No such interface ' + interface, name='org.freedesktop.DBus.Error.UnknownInterface')

    @dbus.service.method(PROPS_IFACE, in_signature='ss', out_signature='v')
    def Get(self, interface, name):
        props = self.properties(interface)
        if name not in props:
            raise dbus.exceptions.DBusException(
                'No such property ' + name, name='org.freedesktop.DBus.Error.UnknownProperty')
        return props[name]

    @dbus.service.method(PROPS_IFACE, in_signature='s', out_signature='a{sv}')
    def GetAll(self, interface):
        return self.properties(interface)

    @dbus.service.signal(PROPS_IFACE, signature='sa{sv}as')
    def PropertiesChanged(self, interface, changed, invalidated):
        pass

    def set_state(self, active, sub):
        self.active_state = active
        self.sub_state = sub
        self.PropertiesChanged(UNIT_IFACE, {'ActiveState': dbus.String(active), 'SubState': dbus.String(sub)},
                               dbus.Array([], signature='s'))

    def queue_start(self, job):
        if not self.job_delay_ms:
            self.start()
            return
        self.job = (int(job.rsplit('/', 1)[1]), job)
        GLib.timeout_add(self.job_delay_ms, self._run_job)

    def _run_job(self):
        self.job = (0, '/')
        self.start()
        return False

    def start(self):
        if self.active_state in ('active', 'activating'):
            return
        self.set_state('activating', 'start')
        GLib.timeout_add(self.start_delay_ms, self._spawn)

    def _spawn(self):
        try:
            self.pid = os.posix_spawnp(self.command[0], self.command, os.environ)
        except OSError as e:
            print('systemd_peer: cannot run %s: %s' % (self.command[0], e), file=sys.stderr)
            self.set_state('failed', 'failed')
            return False
        GLib.child_watch_add(GLib.PRIORITY_DEFAULT, self.pid, self._exited)
        self.set_state('active', 'running')
        return False

    def stop(self):
        if self.active_state in ('inactive', 'failed', 'deactivating'):
            return
        self.set_state('deactivating', 'stop-sigterm')
        GLib.timeout_add(self.stop_delay_ms, self._terminate)

    def _terminate(self):
        if self.pid:
            os.kill(self.pid, signal.SIGTERM)
        return False

    def _exited(self, pid, status):
        self.pid = 0
        clean = os.WIFEXITED(status) and os.WEXITSTATUS(status) == 0 \
            or os.WIFSIGNALED(status) and os.WTERMSIG(status) == signal.SIGTERM
        if clean:
            self.set_state('inactive', 'dead')
        else:
            self.set_state('failed', 'failed')


class Manager(dbus.service.Object):
    def __init__(self, bus, unit):
        super().__init__(bus, MANAGER_PATH)
        self.bus = bus
        self.units = {unit.name: unit}
        self.next_job = 1

    def unit(self, name, load):
        name = str(name)
        if name not in self.units:
            if not load:
                raise dbus.exceptions.DBusException(
                    'Unit %s not loaded.' % name, name='org.freedesktop.systemd1.NoSuchUnit')
            self.units[name] = Unit(self.bus, name, None)
        return self.units[name]

    def job(self):
        path = '%s/job/%d' % (MANAGER_PATH, self.next_job)
        self.next_job += 1
        return dbus.ObjectPath(path)

    @dbus.service.method(MANAGER_IFACE, in_signature='s', out_signature='o')
    def LoadUnit(self, name):
        return unit_path(self.unit(name, True).name)

    @dbus.service.method(MANAGER_IFACE, in_signature='s', out_signature='o')
    def GetUnit(self, name):
        return unit_path(self.unit(name, False).name)

    @dbus.service.method(MANAGER_IFACE, in_signature='ss', out_signature='o')
    def StartUnit(self, name, _mode):
        unit = self.unit(name, True)
        if unit.load_state != 'loaded':
            raise dbus.exceptions.DBusException(
                'Unit %s not found.' % name, name='org.freedesktop.systemd1.NoSuchUnit')
        job = self.job()
        unit.queue_start(job)
        return job

    @dbus.service.method(MANAGER_IFACE, in_signature='ss', out_signature='o')
    def StopUnit(self, name, _mode):
        unit = self.unit(name, False)
        unit.stop()
        return self.job()

    @dbus.service.method(MANAGER_IFACE, in_signature='', out_signature='')
    def Subscribe(self):
        pass


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--start-delay-ms', type=int, default=0)
    parser.add_argument('--stop-delay-ms', type=int, default=0)
    parser.add_argument('--job-delay-ms', type=int, default=0)
    parser.add_argument('unit')
    parser.add_argument('command', nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ['--'] else args.command
    if not command:
        parser.error('a command is needed')

    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SystemBus()
    unit = Unit(bus, args.unit, command, args.start_delay_ms, args.stop_delay_ms, args.job_delay_ms)
    manager = Manager(bus, unit)
    name = dbus.service.BusName(BUS_NAME, bus)

    loop = GLib.MainLoop()

    def shut_down():
        if unit.pid:
            os.kill(unit.pid, signal.SIGTERM)
            try:
                os.waitpid(unit.pid, 0)
            except ChildProcessError:
                pass  # already reaped by the child watch
        loop.quit()
        return False

    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, shut_down)
    print('ready', flush=True)
    loop.run()
    del name, manager


if __name__ == '__main__':
    main()
