#!/usr/bin/python3
"""Two reference walks over a POP3 mailbox, for the benchmarks beside the session's own:
USER, PASS, STAT, then TOP n 1 for every message from the highest number down, then QUIT,
timed from the connect to the server's close after QUIT.

  one   Python's poplib: one command, its whole reply, then the next; one round trip per
        message.
  all   every TOP (and QUIT) written at once after STAT, the replies read as they come: the
        floor that no client can beat on the same link.

Prints "<seconds> <messages walked>".

  /usr/bin/python3 bench/pop3/pop3_walks.py one 127.0.0.1 1100 ringlark secret
"""

import poplib
import socket
import sys
import threading
import time


def walk_one(host, port, user, password):
    start = time.perf_counter()
    p = poplib.POP3(host, port)
    p.user(user)
    p.pass_(password)
    count = p.stat()[0]
    for n in range(count, 0, -1):
        p.top(n, 1)
    p.quit()
    return time.perf_counter() - start, count


def walk_all(host, port, user, password):
    start = time.perf_counter()
    s = socket.create_connection((host, port))
    s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    f = s.makefile("rb")

    def command(line):
        s.sendall(line + b"\r\n")
        reply = f.readline()
        if not reply.startswith(b"+OK"):
            raise RuntimeError("%r answered %r" % (line, reply))
        return reply

    f.readline()  # greeting
    command(b"USER " + user.encode())
    command(b"PASS " + password.encode())
    count = int(command(b"STAT").split()[1])
    requests = b"".join(b"TOP %d 1\r\n" % n for n in range(count, 0, -1)) + b"QUIT\r\n"
    # Written from a thread: the replies must be read while the requests still go out.
    writer = threading.Thread(target=s.sendall, args=(requests,))
    writer.start()
    # Replies are dot-stuffed, so a line holding only "." ends one TOP reply and nothing
    # else. Read to the close that follows QUIT's reply.
    ends, tail = 0, b"\n"
    while True:
        chunk = f.read1(1 << 18)
        if not chunk:
            break
        ends += (tail + chunk).count(b"\n.\r\n")
        tail = (tail + chunk)[-3:]  # a match across chunks needs a byte of the next
    writer.join()
    s.close()
    return time.perf_counter() - start, ends


def main():
    mode, host, port, user, password = sys.argv[1:6]
    walk = {"one": walk_one, "all": walk_all}[mode]
    seconds, walked = walk(host, int(port), user, password)
    print("%.6f %d" % (seconds, walked), flush=True)


if __name__ == "__main__":
    main()
