#!/usr/bin/python3
"""A TCP relay that holds every byte for a fixed time in each direction: a far-away server on
this machine, for benchmarks (the kernel here has no netem).

Listens on 127.0.0.1 at a free port, prints "PORT <n>" and serves until its standard input
closes or it gets SIGTERM. Each accepted connection is joined to --target; what one side
sends reaches the other --delay-ms later, in order, as fast as it came. Nothing limits the
bandwidth: the relay reads eagerly and queues, like a long fat link with deep buffers. An
end of stream is delayed like the data before it, and then closes the other side.

  /usr/bin/python3 bench/pop3/delay_relay.py --target 127.0.0.1:1100 --delay-ms 25
"""

import argparse
import asyncio
import collections
import signal
import sys


class Side(asyncio.Protocol):
    """One end of a joined pair: what it receives reaches its peer `delay` seconds later."""

    def __init__(self, delay):
        self.delay = delay
        self.transport = None
        self.peer = None
        self.queue = collections.deque()  # (deadline, bytes, or None for the end)
        self.timer = None
        self.held = []  # what came before the peer was connected

    def connection_made(self, transport):
        self.transport = transport

    def data_received(self, data):
        self._push(data)

    def eof_received(self):
        self._push(None)

    def connection_lost(self, exc):
        if not self.queue or self.queue[-1][1] is not None:
            self._push(None)

    def _push(self, item):
        loop = asyncio.get_running_loop()
        if self.delay <= 0 and not self.queue:
            self._deliver(item)
            return
        self.queue.append((loop.time() + self.delay, item))
        if self.timer is None:
            self.timer = loop.call_at(self.queue[0][0], self._flush)

    def _flush(self):
        self.timer = None
        loop = asyncio.get_running_loop()
        now = loop.time()
        while self.queue and self.queue[0][0] <= now:
            self._deliver(self.queue.popleft()[1])
        if self.queue:
            self.timer = loop.call_at(self.queue[0][0], self._flush)

    def _deliver(self, item):
        if self.peer is None:
            self.held.append(item)
            return
        out = self.peer.transport
        if out.is_closing():
            return
        if item is None:
            out.close()  # after what is buffered has been written
        else:
            out.write(item)

    def attach(self, peer):
        self.peer = peer
        for item in self.held:
            self._deliver(item)
        self.held.clear()


async def join(client, host, port, delay):
    loop = asyncio.get_running_loop()
    try:
        _, server = await loop.create_connection(lambda: Side(delay), host, port)
    except OSError:
        client.transport.close()
        return
    server.attach(client)
    client.attach(server)


async def main():
    p = argparse.ArgumentParser(description=__doc__,
                                formatter_class=argparse.RawTextHelpFormatter)
    p.add_argument("--target", required=True, help="host:port to relay to")
    p.add_argument("--delay-ms", type=float, default=0.0, help="delay each way")
    args = p.parse_args()
    host, port = args.target.rsplit(":", 1)
    delay = args.delay_ms / 1000.0
    loop = asyncio.get_running_loop()

    class Accepted(Side):
        def connection_made(self, transport):
            super().connection_made(transport)
            loop.create_task(join(self, host, int(port), delay))

    def accepted():
        return Accepted(delay)

    server = await loop.create_server(accepted, "127.0.0.1", 0)
    print("PORT %d" % server.sockets[0].getsockname()[1], flush=True)

    stop = asyncio.Event()
    loop.add_signal_handler(signal.SIGTERM, stop.set)
    loop.add_signal_handler(signal.SIGINT, stop.set)
    reader = asyncio.StreamReader()
    await loop.connect_read_pipe(lambda: asyncio.StreamReaderProtocol(reader), sys.stdin)

    async def watch_stdin():
        while await reader.read(4096):
            pass
        stop.set()

    loop.create_task(watch_stdin())
    await stop.wait()
    server.close()


if __name__ == "__main__":
    asyncio.run(main())
