#!/usr/bin/python3
'''A real SMTP server for tests and the demo: aiosmtpd on 127.0.0.1 at a free port.

Prints "PORT <n>" once it listens. Each mail it accepts is written to the folder given as
NNN.eml (the message exactly as it arrived, after the dot-unstuffing of DATA) and NNN.json
(envelope, whether TLS and AUTH were used, the decoded Subject and body, and the Date as
read, empty when unreadable). Runs until
SIGTERM, SIGINT or the end of standard input.

  --dir DIR              where mails go (required)
  --cert PEM --key PEM   offer STARTTLS with this certificate (with --tls: TLS from the start)
  --tls                  TLS from the first byte (smtps)
  --user U --password P  offer AUTH PLAIN and LOGIN and accept these credentials
  --auth-require-tls     offer AUTH only after STARTTLS
'''

import argparse
import asyncio
import email
import email.policy
import json
import os
import ssl
import sys

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


class Recorder:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.folder, f'{self.count:03d}')
        raw = envelope.original_content
        parsed = email.message_from_bytes(raw, policy=email.policy.default)
        body = parsed.get_body(preferencelist=('plain',))
        date = parsed.get('Date')
        record = {
            'mail_from': envelope.mail_from,
            'rcpt_tos': envelope.rcpt_tos,
            'tls': (session.ssl is not None
                    or server.transport.get_extra_info('ssl_object') is not None),
            'auth': session.authenticated,
            'subject': str(parsed.get('Subject', '')),
            # as a reader takes it: empty when it cannot be read
            'date': date.datetime.isoformat() if date is not None and date.datetime else '',
            'body': body.get_content() if body is not None else '',
        }
        with open(base + '.eml', 'wb') as f:
            f.write(raw)
        with open(base + '.json.tmp', 'w', encoding='utf-8') as f:
            json.dump(record, f, ensure_ascii=False)
        os.rename(base + '.json.tmp', base + '.json')  # the .json appears last, whole
        return '250 OK'


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--dir', required=True)
    parser.add_argument('--cert')
    parser.add_argument('--key')
    parser.add_argument('--tls', action='store_true')
    parser.add_argument('--user')
    parser.add_argument('--password')
    parser.add_argument('--auth-require-tls', action='store_true')
    args = parser.parse_args()

    context = None
    if args.cert:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.cert, args.key)

    def authenticate(server, session, envelope, mechanism, data):
        ok = (isinstance(data, LoginPassword) and data.login.decode() == args.user
              and data.password.decode() == args.password)
        return AuthResult(success=ok, handled=False)

    recorder = Recorder(args.dir)

    def factory():
        return SMTP(recorder, hostname='smtp.test',
                    tls_context=None if args.tls else context,
                    authenticator=authenticate if args.user else None,
                    auth_required=False,
                    # Without credentials to check no AUTH line at all: aiosmtpd would
                    # otherwise offer one, and fail every login.
                    auth_require_tls=args.auth_require_tls or not args.user)

    loop = asyncio.new_event_loop()
    server = loop.run_until_complete(loop.create_server(
        factory, '127.0.0.1', 0, ssl=context if args.tls else None))
    print(f'PORT {server.sockets[0].getsockname()[1]}', flush=True)
    def on_stdin():
        if not os.read(sys.stdin.fileno(), 4096):
            loop.stop()
    try:
        loop.add_reader(sys.stdin.fileno(), on_stdin)
    except (KeyError, ValueError, PermissionError):
        pass  # not a pipe: signals end it
    try:
        loop.run_forever()
    finally:
        server.close()


if __name__ == '__main__':
    main()
