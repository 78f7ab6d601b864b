'''Behaviour that python-dbusmock's networkmanager template lacks, loaded into the mock.

The stock ActivateConnection puts a connection into ACTIVATED at once, without StateChanged,
and can never fail; the stock DeactivateConnection does nothing for connections without a
device. These replacements behave like NetworkManager: an activation passes through
ACTIVATING and then emits StateChanged with ACTIVATED (reason NONE), with the addresses
10.8.0.N/24 and fd00:8::N/64 in Ip4Config and Ip6Config, or DEACTIVATED with a reason; a deactivation goes DEACTIVATING, DEACTIVATED (reason USER_DISCONNECTED) and removes
the active connection. GetPermissions says this user may control networking.

A profile's behaviour comes from a private "ringlark-mock" setting in its settings:
  fail-reason (u)  end DEACTIVATED with this reason instead of ACTIVATED
  hang (b)         stay ACTIVATING for ever
  delay-ms (u)     time spent ACTIVATING (default 0: right after the reply)
  error (s)        ActivateConnection fails with this D-Bus error name instead

nm_mock.py installs these with org.freedesktop.DBus.Mock.AddMethod; the method code runs
inside the mock and calls into this module.
'''

import dbus
from gi.repository import GLib

import dbusmock

MANAGER_OBJ = '/org/freedesktop/NetworkManager'
MANAGER_IFACE = 'org.freedesktop.NetworkManager'
ACTIVE_IFACE = 'org.freedesktop.NetworkManager.Connection.Active'

ACTIVATING, ACTIVATED, DEACTIVATING, DEACTIVATED = 1, 2, 3, 4
REASON_NONE, REASON_USER_DISCONNECTED = 1, 2

_counter = [0]


def _set_state(path, state, reason):
    active = dbusmock.get_object(path)
    active.Set(ACTIVE_IFACE, 'State', dbus.UInt32(state))
    active.EmitSignal(ACTIVE_IFACE, 'StateChanged', 'uu', [dbus.UInt32(state), dbus.UInt32(reason)])


def _remove(manager, path):
    actives = manager.Get(MANAGER_IFACE, 'ActiveConnections')
    if path in actives:
        actives.remove(dbus.ObjectPath(path))
        manager.SetProperty(MANAGER_OBJ, MANAGER_IFACE, 'ActiveConnections',
                            dbus.Array(actives, signature='o'))
    manager.object_manager_emit_removed(path)
    manager.RemoveObject(path)


def _add_addresses(manager, path, number):
    active = dbusmock.get_object(path)
    for prop, iface, address, prefix in (
            ('Ip4Config', 'org.freedesktop.NetworkManager.IP4Config', f'10.8.0.{number}', 24),
            ('Ip6Config', 'org.freedesktop.NetworkManager.IP6Config', f'fd00:8::{number:x}', 64)):
        config = f'/org/freedesktop/NetworkManager/{prop}/ringlark{number}'
        data = dbus.Array([dbus.Dictionary({'address': address, 'prefix': dbus.UInt32(prefix)},
                                           signature='sv')], signature='a{sv}')
        manager.AddObject(config, iface, {'AddressData': data}, [])
        active.AddProperty(ACTIVE_IFACE, prop, dbus.ObjectPath(config))


def _finish(manager, path, fail_reason, number=0):
    if path not in dbusmock.mockobject.objects:
        return False
    if fail_reason is None:
        _add_addresses(manager, path, number)
        _set_state(path, ACTIVATED, REASON_NONE)
    else:
        _set_state(path, DEACTIVATED, fail_reason)
        _remove(manager, path)
    return False


def activate_connection(manager, connection, device, specific_object):
    connection = str(connection)
    profile = dbusmock.mockobject.objects.get(connection)
    if profile is None or not hasattr(profile, 'settings'):
        raise dbus.exceptions.DBusException(
            f'No connection {connection}', name=MANAGER_IFACE + '.UnknownConnection')
    behaviour = profile.settings.get('ringlark-mock', {})
    if behaviour.get('error'):
        raise dbus.exceptions.DBusException('Refused by the mock', name=str(behaviour['error']))
    # NetworkManager never reuses an active connection's path; neither do we.
    _counter[0] += 1
    devices = [] if str(device) == '/' else [str(device)]
    path = manager.AddActiveConnection(devices, connection, str(specific_object),
                                       f'ringlark{_counter[0]}', dbus.UInt32(ACTIVATING))
    if not behaviour.get('hang', False):
        fail = behaviour.get('fail-reason')
        GLib.timeout_add(int(behaviour.get('delay-ms', 0)), _finish, manager, path,
                         None if fail is None else int(fail), _counter[0])
    return dbus.ObjectPath(path)


def deactivate_connection(manager, active_path):
    active_path = str(active_path)
    if active_path not in [str(p) for p in manager.Get(MANAGER_IFACE, 'ActiveConnections')]:
        raise dbus.exceptions.DBusException(
            f'{active_path} is not active', name=MANAGER_IFACE + '.ConnectionNotActive')
    _set_state(active_path, DEACTIVATING, REASON_USER_DISCONNECTED)
    _set_state(active_path, DEACTIVATED, REASON_USER_DISCONNECTED)
    _remove(manager, active_path)


def install(manager_proxy, support_dir):
    '''Replaces the two methods on the mock's manager object, over D-Bus.'''
    prelude = ('import sys\n'
               'sys.dont_write_bytecode = True\n'
               f'sys.path.insert(0, {support_dir!r}) if {support_dir!r} not in sys.path else None\n'
               'import nm_mock_overrides\n')
    manager_proxy.AddMethod(
        MANAGER_IFACE, 'ActivateConnection', 'ooo', 'o',
        prelude + 'ret = nm_mock_overrides.activate_connection(self, *args)',
        dbus_interface='org.freedesktop.DBus.Mock')
    manager_proxy.AddMethod(
        MANAGER_IFACE, 'GetPermissions', '', 'a{ss}',
        f"ret = {{'{MANAGER_IFACE}.network-control': 'yes'}}",
        dbus_interface='org.freedesktop.DBus.Mock')
    manager_proxy.AddMethod(
        MANAGER_IFACE, 'DeactivateConnection', 'o', '',
        prelude + 'nm_mock_overrides.deactivate_connection(self, args[0])',
        dbus_interface='org.freedesktop.DBus.Mock')
