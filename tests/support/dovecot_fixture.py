#!/usr/bin/python3
"""Runs a private Dovecot POP3 and IMAP server in the foreground, for tests, benchmarks and the demo.

Everything lives under --dir: the configuration, the passwd file, the runtime folders and the
Maildir of the one user. Dovecot refuses uid 0 for mail access, so when run as root the
Maildir belongs to an unprivileged user (nobody); otherwise to the calling user.

Prints, one per line and flushed:  PORT <n>, IMAPPORT <n>, [TLSPORT <n>,] MAILDIR <path>, READY
and then runs until SIGTERM/SIGINT, or (with --watch-stdin) until its standard input closes,
so that a test that dies never leaves a server behind.

  /usr/bin/python3 tests/support/dovecot_fixture.py --dir /tmp/pop --mail a.eml --mail b.eml
"""

import argparse
import os
import pwd
import grp
import shutil
import signal
import socket
import subprocess
import sys
import threading
import time

DOVECOT = shutil.which("dovecot") or "/usr/sbin/dovecot"


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def mail_owner():
    if os.getuid() != 0:
        return os.getuid(), os.getgid(), pwd.getpwuid(os.getuid()).pw_name
    nobody = pwd.getpwnam("nobody")
    return nobody.pw_uid, nobody.pw_gid, None


def service_users():
    """Dovecot's login and internal users: its own when root, else the calling user."""
    if os.getuid() == 0:
        return "dovenull", "dovecot"
    me = pwd.getpwuid(os.getuid()).pw_name
    return me, me


def make_maildir(path, uid, gid):
    for sub in ("", "new", "cur", "tmp"):
        d = os.path.join(path, sub)
        os.makedirs(d, exist_ok=True)
        os.chown(d, uid, gid)
        os.chmod(d, 0o700)


_seq = [0]


def add_mail(maildir, data, uid, gid):
    """Delivers one message. Dovecot numbers new mails in the order of their file names."""
    _seq[0] += 1
    name = "%d.M%06dP%d.ringlark" % (1000000000 + _seq[0], _seq[0], os.getpid())
    tmp = os.path.join(maildir, "tmp", name)
    with open(tmp, "wb") as f:
        f.write(data)
    os.chown(tmp, uid, gid)
    os.rename(tmp, os.path.join(maildir, "new", name))


def write_config(args, port, tls_port, imap_port, uid, gid):
    login_user, internal_user = service_users()
    home = os.path.join(args.dir, "home", args.user)
    ssl = "no"
    ssl_lines = ""
    if args.ssl_cert:
        ssl = "yes"
        ssl_lines = "ssl_cert = <%s\nssl_key = <%s\n" % (args.ssl_cert, args.ssl_key)
    listeners = "  inet_listener pop3 {\n    port = %d\n  }\n" % port
    if tls_port:
        listeners += "  inet_listener pop3s {\n    port = %d\n    ssl = yes\n  }\n" % tls_port
    else:
        listeners += "  inet_listener pop3s {\n    port = 0\n  }\n"
    chroot = "" if os.getuid() == 0 else "  chroot =\n"
    conf = f"""# Written by dovecot_fixture.py; private to this run.
base_dir = {args.dir}/run
state_dir = {args.dir}/state
instance_name = ringlark-{port}
log_path = /dev/stderr
info_log_path = /dev/stderr
protocols = pop3 imap
mailbox_idle_check_interval = 1 secs
listen = 127.0.0.1
ssl = {ssl}
{ssl_lines}disable_plaintext_auth = no
auth_mechanisms = plain
default_login_user = {login_user}
default_internal_user = {internal_user}
first_valid_uid = 1
mail_location = maildir:~/Maildir
pop3_uidl_format = %08Xu%08Xv
passdb {{
  driver = passwd-file
  args = scheme=PLAIN username_format=%u {args.dir}/passwd
}}
userdb {{
  driver = static
  args = uid={uid} gid={gid} home={home}
}}
service pop3-login {{
{listeners}{chroot}}}
service imap-login {{
  inet_listener imap {{
    port = {imap_port}
  }}
  inet_listener imaps {{
    port = 0
  }}
}}
"""
    for sub in ("run", "state"):
        os.makedirs(os.path.join(args.dir, sub), exist_ok=True)
    with open(os.path.join(args.dir, "dovecot.conf"), "w") as f:
        f.write(conf)
    with open(os.path.join(args.dir, "passwd"), "w") as f:
        f.write("%s:{PLAIN}%s::::::\n" % (args.user, args.password))
    return home


def wait_listening(port, proc, limit=20.0):
    end = time.monotonic() + limit
    while time.monotonic() < end:
        if proc.poll() is not None:
            return False
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.5) as s:
                s.recv(64)  # the greeting: the whole chain (login, auth) is up
                return True
        except OSError:
            time.sleep(0.05)
    return False


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawTextHelpFormatter)
    p.add_argument("--dir", required=True, help="folder for everything (created)")
    p.add_argument("--user", default="ringlark")
    p.add_argument("--password", default="secret")
    p.add_argument("--port", type=int, default=0, help="plain POP3 port (0: a free one)")
    p.add_argument("--imap-port", type=int, default=0, help="plain IMAP port (0: a free one)")
    p.add_argument("--ssl-cert", help="PEM certificate: also serve POP3 over TLS")
    p.add_argument("--ssl-key", help="PEM key for --ssl-cert")
    p.add_argument("--mail", action="append", default=[], help="a message file to deliver")
    p.add_argument("--watch-stdin", action="store_true", help="stop when stdin closes")
    args = p.parse_args()
    args.dir = os.path.abspath(args.dir)
    # Dovecot reads relative paths from its config file's folder, not from ours.
    if args.ssl_cert:
        if not args.ssl_key:
            p.error("--ssl-cert needs --ssl-key")
        args.ssl_cert = os.path.abspath(args.ssl_cert)
        args.ssl_key = os.path.abspath(args.ssl_key)
    os.makedirs(args.dir, exist_ok=True)

    uid, gid, _ = mail_owner()
    # The unprivileged mail user must be able to walk down to its home.
    os.chmod(args.dir, 0o755)
    port = args.port or free_port()
    tls_port = free_port() if args.ssl_cert else 0
    imap_port = args.imap_port or free_port()
    home = write_config(args, port, tls_port, imap_port, uid, gid)
    os.makedirs(home, exist_ok=True)
    os.chmod(os.path.join(args.dir, "home"), 0o755)
    os.chown(home, uid, gid)
    maildir = os.path.join(home, "Maildir")
    make_maildir(maildir, uid, gid)
    for path in args.mail:
        with open(path, "rb") as f:
            add_mail(maildir, f.read(), uid, gid)

    proc = subprocess.Popen([DOVECOT, "-F", "-c", os.path.join(args.dir, "dovecot.conf")],
                            stdin=subprocess.DEVNULL)
    stopping = threading.Event()

    def stop(*_):
        stopping.set()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    if not wait_listening(port, proc):
        print("FAILED dovecot did not start", flush=True)
        if proc.poll() is None:
            proc.terminate()
            proc.wait()
        return 1
    print("PORT %d" % port)
    print("IMAPPORT %d" % imap_port)
    if tls_port:
        print("TLSPORT %d" % tls_port)
    print("MAILDIR %s" % maildir)
    print("READY", flush=True)

    if args.watch_stdin:
        def watch():
            while sys.stdin.buffer.read(1):
                pass
            stopping.set()
        threading.Thread(target=watch, daemon=True).start()

    while not stopping.is_set() and proc.poll() is None:
        stopping.wait(0.2)
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
    return 0


if __name__ == "__main__":
    sys.exit(main())
