#!/usr/bin/env python3
"""Joins two QEMU socket chardevs: listens on two Unix sockets, takes one
connection on each and copies bytes both ways until either side closes.

Both sides are read as soon as they have bytes, whatever the other side
takes; bytes the other side cannot take yet wait in this process's memory.
QEMU's emulated FTDI adapter wired straight to a UART hangs the emulator on
a one-way write of about 100 KB; through this relay 200 KB pass intact.

usage: rig-relay.py SOCKET_A SOCKET_B
"""
import os
import selectors
import socket
import sys


def listen(path):
    try:
        os.unlink(path)
    except FileNotFoundError:
        pass
    server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    server.bind(path)
    server.listen(1)
    return server


def main():
    servers = [listen(path) for path in sys.argv[1:3]]
    ends = [server.accept()[0] for server in servers]
    for server in servers:
        server.close()
    pending = [bytearray(), bytearray()]  # bytes waiting to be written to ends[i]
    for end in ends:
        end.setblocking(False)
    selector = selectors.DefaultSelector()
    while True:
        for i, end in enumerate(ends):
            events = selectors.EVENT_READ | (selectors.EVENT_WRITE if pending[i] else 0)
            try:
                selector.modify(end, events, i)
            except KeyError:
                selector.register(end, events, i)
        for key, events in selector.select():
            i = key.data
            if events & selectors.EVENT_READ:
                data = ends[i].recv(65536)
                if not data:
                    return
                pending[1 - i] += data
            if events & selectors.EVENT_WRITE and pending[i]:
                sent = ends[i].send(pending[i])
                del pending[i][:sent]


if __name__ == "__main__":
    try:
        main()
    except (ConnectionError, KeyboardInterrupt):
        pass
