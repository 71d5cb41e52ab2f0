#!/usr/bin/python3
"""Stands in for the systemd manager on a private bus, for tests.

Implements the calls the service manager adapter makes (LoadUnit, GetUnit, StartUnit,
StopUnit, Subscribe, the Unit and Service properties with PropertiesChanged, and the
manager's JobRemoved signal) for one unit of Type=notify whose service really runs as a
child process:

    systemd_peer.py [--job-delay-ms N] [--start-delay-ms N] [--stop-delay-ms N] UNIT -- COMMAND [ARG...]

With a job delay, a start job waits that long while the unit stays inactive (as systemd
answers calls before it runs a queued job), its Job property set meanwhile. Start:
activating; after the start delay the command is spawned with NOTIFY_SOCKET set, and
the unit stays activating until the child's main process sends READY=1 (then active), or
fails when the process exits first. STATUS= is kept as StatusText, STOPPING=1 makes the unit
deactivating; messages from other processes are ignored (NotifyAccess=main). Stop:
deactivating, then (after the stop delay) SIGTERM; inactive when the child ends by SIGTERM
or with status 0, failed otherwise. Each StartUnit and StopUnit returns a job, whose
JobRemoved ("done", "failed" or "canceled") follows when the unit gets where the job takes
it. Any other unit name loads as "not-found". Prints "ready" on standard output once it owns
its bus name.
"""

import argparse
import os
import shutil
import signal
import socket
import struct
import sys
import tempfile

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
        self.queued_job = (0, '/')
        self.name = name
        self.command = command
        self.start_delay_ms = start_delay_ms
        self.stop_delay_ms = stop_delay_ms
        self.load_state = 'loaded' if command else 'not-found'
        self.active_state = 'inactive'
        self.sub_state = 'dead'
        self.status_text = ''
        self.pid = 0
        self.spawn_timer = 0
        self.jobs = []  # (path, 'start' or 'stop') not yet ended
        self.job_removed = None  # set by the manager: emits JobRemoved
        self.notify_dir = None
        self.notify_socket = None

    def open_notify_socket(self):
        self.notify_dir = tempfile.mkdtemp(prefix='systemd-peer-')
        path = os.path.join(self.notify_dir, 'notify')
        self.notify_socket = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
        self.notify_socket.bind(path)
        # The sender's process id comes with every message.
        self.notify_socket.setsockopt(socket.SOL_SOCKET, socket.SO_PASSCRED, 1)
        GLib.io_add_watch(self.notify_socket.fileno(), GLib.IO_IN, self._notified)
        return path

    def close_notify_socket(self):
        if self.notify_socket:
            self.notify_socket.close()
        if self.notify_dir:
            shutil.rmtree(self.notify_dir, ignore_errors=True)

    def properties(self, interface):
        if interface == UNIT_IFACE:
            return {
                'Id': dbus.String(self.name),
                'LoadState': dbus.String(self.load_state),
                'ActiveState': dbus.String(self.active_state),
                'SubState': dbus.String(self.sub_state),
                'Job': dbus.Struct((dbus.UInt32(self.queued_job[0]), dbus.ObjectPath(self.queued_job[1])), signature='uo'),
            }
        if interface == SERVICE_IFACE and self.command:
            return {'MainPID': dbus.UInt32(self.pid), 'StatusText': dbus.String(self.status_text)}
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
        if active == 'active':
            self._end_jobs('start', 'done')
        elif active in ('inactive', 'failed'):
            self._end_jobs('start', 'failed')
            self._end_jobs('stop', 'done')

    def add_job(self, path, kind):
        """A job of `kind` on the unit; it ends at once when the unit is already where it leads."""
        self.jobs.append((path, kind))
        if kind == 'start' and self.active_state == 'active' \
                or kind == 'stop' and self.active_state in ('inactive', 'failed'):
            self._end_jobs(kind, 'done')

    def _end_jobs(self, kind, result):
        ended = [path for path, k in self.jobs if k == kind]
        self.jobs = [(path, k) for path, k in self.jobs if k != kind]
        for path in ended:
            # After the reply of the call that queued it, as the manager does.
            GLib.idle_add(self.job_removed, path, self.name, result)

    def queue_start(self, job):
        if not self.job_delay_ms:
            self.start()
            return
        self.queued_job = (int(job.rsplit('/', 1)[1]), job)
        GLib.timeout_add(self.job_delay_ms, self._run_job)

    def _run_job(self):
        self.queued_job = (0, '/')
        self.start()
        return False

    def start(self):
        if self.active_state in ('active', 'activating'):
            return
        self.status_text = ''
        self.set_state('activating', 'start')
        self.spawn_timer = GLib.timeout_add(self.start_delay_ms, self._spawn)

    def _spawn(self):
        self.spawn_timer = 0
        env = dict(os.environ, NOTIFY_SOCKET=self.notify_socket.getsockname())
        try:
            self.pid = os.posix_spawnp(self.command[0], self.command, env)
        except OSError as e:
            print('systemd_peer: cannot run %s: %s' % (self.command[0], e), file=sys.stderr)
            self.set_state('failed', 'failed')
            return False
        GLib.child_watch_add(GLib.PRIORITY_DEFAULT, self.pid, self._exited)
        return False

    def _notified(self, fd, _condition):
        data, ancillary, _flags, _address = self.notify_socket.recvmsg(4096, socket.CMSG_SPACE(12))
        sender = 0
        for level, kind, value in ancillary:
            if level == socket.SOL_SOCKET and kind == socket.SCM_CREDENTIALS:
                sender = struct.unpack('3i', value[:12])[0]
        if not self.pid or sender != self.pid:
            print('systemd_peer: notification from process %d ignored (not the main process)' % sender,
                  file=sys.stderr)
            return True
        fields = dict(line.split('=', 1) for line in data.decode('utf-8', 'replace').split('\n') if '=' in line)
        if 'STATUS' in fields:
            self.status_text = fields['STATUS']
        if fields.get('READY') == '1' and self.active_state == 'activating':
            self.set_state('active', 'running')
        if fields.get('STOPPING') == '1' and self.active_state in ('active', 'activating'):
            self.set_state('deactivating', 'stop-sigterm')
        return True

    def stop(self):
        if self.active_state in ('inactive', 'failed'):
            return
        self._end_jobs('start', 'canceled')
        if self.spawn_timer:
            GLib.source_remove(self.spawn_timer)
            self.spawn_timer = 0
            self.set_state('inactive', 'dead')
            return
        if self.active_state != 'deactivating':
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
        # A process that ends before it reported ready has failed to start, whatever its status.
        if clean and self.active_state != 'activating':
            self.set_state('inactive', 'dead')
        else:
            self.set_state('failed', 'failed')


class Manager(dbus.service.Object):
    def __init__(self, bus, unit):
        super().__init__(bus, MANAGER_PATH)
        self.bus = bus
        self.units = {}
        self.next_job = 1
        self.add(unit)

    def add(self, unit):
        unit.job_removed = self.job_removed
        self.units[unit.name] = unit

    def unit(self, name, load):
        name = str(name)
        if name not in self.units:
            if not load:
                raise dbus.exceptions.DBusException(
                    'Unit %s not loaded.' % name, name='org.freedesktop.systemd1.NoSuchUnit')
            self.add(Unit(self.bus, name, None))
        return self.units[name]

    def job(self, unit, kind):
        path = dbus.ObjectPath('%s/job/%d' % (MANAGER_PATH, self.next_job))
        self.next_job += 1
        unit.add_job(path, kind)
        return path

    def job_removed(self, path, unit, result):
        self.JobRemoved(dbus.UInt32(int(path.rsplit('/', 1)[1])), path, unit, result)
        return False

    @dbus.service.signal(MANAGER_IFACE, signature='uoss')
    def JobRemoved(self, job_id, job, unit, result):
        pass

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
        job = self.job(unit, 'start')
        unit.queue_start(job)
        return job

    @dbus.service.method(MANAGER_IFACE, in_signature='ss', out_signature='o')
    def StopUnit(self, name, _mode):
        unit = self.unit(name, False)
        unit.stop()
        return self.job(unit, 'stop')

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
    unit.open_notify_socket()
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
    unit.close_notify_socket()
    del name, manager


if __name__ == '__main__':
    main()
