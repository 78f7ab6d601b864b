#!/usr/bin/python3
'''Starts a private D-Bus bus with a mock NetworkManager on it, for tests and demos.

Prints the bus address as the first line of standard output, then a line
"PROFILE <object path> <id>" for each profile, then "READY" once the mock holds them all.
Point a client at it with DBUS_SYSTEM_BUS_ADDRESS=<address>. Runs until SIGTERM or SIGINT
(or, with --exit-on-stdin-eof, until standard input closes), then stops the mock and the bus;
they also end if this script is killed.

Profiles, in the order NetworkManager lists them:
  --profile 'ID,TYPE[,fail=REASON][,hang][,delay=MS][,active][,dun][,error=NAME]'
  --profiles-json '[{"id": "...", "type": "vpn", "fail": 6, "hang": false, "delay": 0,
                     "active": false, "dun": false, "error": ""}, ...]'
TYPE is the connection.type (vpn, pppoe, gsm, 802-3-ethernet, bluetooth, ...). "fail" makes
an activation end DEACTIVATED with that reason, "hang" keeps it ACTIVATING for ever, "active"
makes the profile already ACTIVATED at start, "dun" sets bluetooth.type "dun", "error" makes
ActivateConnection itself fail with that D-Bus error name (for example
org.freedesktop.NetworkManager.PermissionDenied).

  --no-networkmanager   a bus without NetworkManager on it
  --address-file PATH   also write the address to PATH (for scripts running this in the
                        background)

Example (demo):
  /usr/bin/python3 tests/support/nm_mock.py --profile 'Office VPN,vpn' --address-file /tmp/nm.addr &
  until grep -q . /tmp/nm.addr 2>/dev/null; do sleep 0.1; done
  DBUS_SYSTEM_BUS_ADDRESS=$(cat /tmp/nm.addr) build/ringlark
  kill %1
'''

import argparse
import ctypes
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import uuid

import dbus

SUPPORT_DIR = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, SUPPORT_DIR)
sys.dont_write_bytecode = True
import nm_mock_overrides  # noqa: E402

NM_NAME = 'org.freedesktop.NetworkManager'
MANAGER_OBJ = '/org/freedesktop/NetworkManager'
SETTINGS_OBJ = '/org/freedesktop/NetworkManager/Settings'
MOCK_IFACE = 'org.freedesktop.DBus.Mock'

BUS_CONFIG = '''<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir={dir}</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
'''


def _die_with_parent():
#The bus and the mock must not outlive this script, however it ends.
    libc = ctypes.CDLL('libc.so.6', use_errno=True)
    libc.prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


def parse_profile(text):
    fields = text.split(',')
    if len(fields) < 2:
        raise argparse.ArgumentTypeError(f'profile needs ID,TYPE: {text!r}')
    profile = {'id': fields[0], 'type': fields[1]}
    for field in fields[2:]:
        key, _, value = field.partition('=')
        if key in ('fail', 'delay'):
            profile[key] = int(value)
        elif key == 'error':
            profile[key] = value
        elif key in ('hang', 'active', 'dun'):
            profile[key] = True
        else:
            raise argparse.ArgumentTypeError(f'unknown profile option {field!r}')
    return profile


def profile_settings(profile):
    settings = {
        'connection': {'id': profile['id'], 'type': profile['type'], 'uuid': str(uuid.uuid4())},
    }
    if profile.get('dun'):
        settings['bluetooth'] = {'type': 'dun'}
    behaviour = {}
    if profile.get('fail') is not None:
        behaviour['fail-reason'] = dbus.UInt32(profile['fail'])
    if profile.get('hang'):
        behaviour['hang'] = dbus.Boolean(True)
    if profile.get('delay'):
        behaviour['delay-ms'] = dbus.UInt32(profile['delay'])
    if profile.get('error'):
        behaviour['error'] = dbus.String(profile['error'])
    if behaviour:
        settings['ringlark-mock'] = behaviour
    return dbus.Dictionary({
k: dbus.Dictionary(v, signature='sv') for k, v in settings.items()},
                           signature='sa{sv}')


class MockBus:
    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix='ringlark-nm-')
        self.processes = []
        self.address = None

    def start_bus(self):
        config = os.path.join(self.dir, 'bus.conf')
        with open(config, 'w', encoding='utf-8') as f:
            f.write(BUS_CONFIG.format(dir=self.dir))
        log = open(os.path.join(self.dir, 'bus.log'), 'wb')
        bus = subprocess.Popen(['dbus-daemon', '--config-file=' + config, '--print-address=1',
                                '--nofork'], stdout=subprocess.PIPE, stderr=log,
                               preexec_fn=_die_with_parent)
        self.processes.append(bus)
        self.address = bus.stdout.readline().decode().strip()
        if not self.address:
            raise RuntimeError('dbus-daemon did not start')

    def start_networkmanager(self, profiles):
        env = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=self.address)
        log = open(os.path.join(self.dir, 'mock.log'), 'wb')
        mock = subprocess.Popen(['/usr/bin/python3', '-m', 'dbusmock', '--template',
                                 'networkmanager'], env=env, stdout=log, stderr=log,
                                preexec_fn=_die_with_parent)
        self.processes.append(mock)
        bus = dbus.bus.BusConnection(self.address)
        deadline = time.monotonic() + 20
        while not bus.name_has_owner(NM_NAME):
            if mock.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError('the NetworkManager mock did not start; see ' + log.name)
            time.sleep(0.02)
        manager = bus.get_object(NM_NAME, MANAGER_OBJ)
        nm_mock_overrides.install(manager, SUPPORT_DIR)
        settings = bus.get_object(NM_NAME, SETTINGS_OBJ)
        paths = []
        for number, profile in enumerate(profiles):
            path = settings.AddConnection(profile_settings(profile),
                                          dbus_interface=NM_NAME + '.Settings')
            paths.append(str(path))
            if profile.get('active'):
                manager.AddActiveConnection(dbus.Array([], signature='s'), path, '/', f'preset{number}',
                                            dbus.UInt32(nm_mock_overrides.ACTIVATED),
                                            dbus_interface=MOCK_IFACE)
        manager.ClearCalls(dbus_interface=MOCK_IFACE)
        bus.close()
        return paths

    def stop(self):
        for process in reversed(self.processes):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(5)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        shutil.rmtree(self.dir, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument('--profile', action='append', type=parse_profile, default=[])
    parser.add_argument('--profiles-json')
    parser.add_argument('--no-networkmanager', action='store_true')
    parser.add_argument('--address-file')
    parser.add_argument('--exit-on-stdin-eof', action='store_true')
    args = parser.parse_args()
    profiles = list(args.profile)
    if args.profiles_json:
        profiles += json.loads(args.profiles_json)

    stopping = []
    signal.signal(signal.SIGTERM, lambda *_: stopping.append(True))
    signal.signal(signal.SIGINT, lambda *_: stopping.append(True))
    mock = MockBus()
    try:
        mock.start_bus()
        paths = [] if args.no_networkmanager else mock.start_networkmanager(profiles)
        print(mock.address, flush=True)
        for path, profile in zip(paths, profiles):
            print(f"PROFILE {path} {profile['id']}", flush=True)
        if args.address_file:
            with open(args.address_file + '.tmp', 'w', encoding='utf-8') as f:
                f.write(mock.address + '\n')
            os.replace(args.address_file + '.tmp', args.address_file)
        print('READY', flush=True)
        if args.exit_on_stdin_eof:
            os.set_blocking(sys.stdin.fileno(), True)
            while not stopping and sys.stdin.buffer.read1(4096):
                pass
        else:
            while not stopping:
                signal.pause()
    except Exception as e:  # pylint: disable=broad-except
        print(f'nm_mock: {e}', file=sys.stderr, flush=True)
        return 1
    finally:
        mock.stop()
    return 0


if __name__ == '__main__':
    sys.exit(main())
