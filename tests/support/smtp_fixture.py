#!/usr/bin/python3
'''A real SMTP server for tests and the demo: aiosmtpd on 127.0.0.1 at a free port, printed
as "PORT <n>". Each mail accepted becomes DIR/NNN.eml (as it arrived) and DIR/NNN.json
(envelope, TLS and AUTH used, decoded Subject and body, Date as read or empty). STARTTLS with
--cert/--key (AUTH only after it), TLS from the first byte with --tls too; AUTH PLAIN/LOGIN
with --user/--password. Ends with its standard input or a signal.'''

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
        self.folder, self.count = folder, 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.folder, f'{self.count:03d}')
        mail = email.message_from_bytes(envelope.original_content, policy=email.policy.default)
        body, date = mail.get_body(preferencelist=('plain',)), mail['Date']
        record = {'mail_from': envelope.mail_from, 'rcpt_tos': envelope.rcpt_tos,
                  'tls': (session.ssl is not None
                          or server.transport.get_extra_info('ssl_object') is not None),
                  'auth': session.authenticated, 'subject': str(mail.get('Subject', '')),
                  'body': body.get_content() if body is not None else '',
                  'date': date.datetime.isoformat() if date is not None and date.datetime else ''}
        with open(base + '.eml', 'wb') as f:
            f.write(envelope.original_content)
        with open(base + '.json.tmp', 'w', encoding='utf-8') as f:
            json.dump(record, f, ensure_ascii=False)
        os.rename(base + '.json.tmp', base + '.json')  # the .json appears last, whole
        return '250 OK'


def main():
    parser = argparse.ArgumentParser()
    for name in ('--dir', '--cert', '--key', '--user', '--password'):
        parser.add_argument(name)
    parser.add_argument('--tls', action='store_true')
    args = parser.parse_args()
    context = None
    if args.cert:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.cert, args.key)

    def authenticate(server, session, envelope, mechanism, data):
        return AuthResult(success=isinstance(data, LoginPassword)
                          and data.login.decode() == args.user
                          and data.password.decode() == args.password, handled=False)

    recorder = Recorder(args.dir)
    # AUTH only after STARTTLS where it is offered; and without credentials no AUTH line at
    # all: aiosmtpd would offer one and fail every login.
    factory = lambda: SMTP(recorder, hostname='smtp.test',  # noqa: E731
                           tls_context=None if args.tls else context,
                           authenticator=authenticate if args.user else None,
                           auth_required=False,
                           auth_require_tls=bool(args.cert and not args.tls) or not args.user)
    loop = asyncio.new_event_loop()
    server = loop.run_until_complete(
        loop.create_server(factory, '127.0.0.1', 0, ssl=context if args.tls else None))
    print(f'PORT {server.sockets[0].getsockname()[1]}', flush=True)

    def on_stdin():
        if not os.read(sys.stdin.fileno(), 4096):
            loop.stop()
    try:
        loop.add_reader(sys.stdin.fileno(), on_stdin)
    except (KeyError, ValueError, PermissionError):
        pass  # not a pipe: signals end it
    loop.run_forever()


main()
