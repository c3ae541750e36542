#!/usr/bin/env python3
"""The Linux end of a COM port that Wine sees: a pseudo-terminal whose slave
is linked as dosdevices/comN, driven by one of these peers:

  echo      sends every byte back; hangs up (closes the master, as a pulled
            cable does) once the bytes HANGUP_MAGIC arrive
  hangup    hangs up once --after bytes have arrived
  relay     joins the port to another tty (--to, the simulator's pty) and
            copies every byte that the Windows side sends to --capture

It writes "ready" to standard output once the link is in place, and ends on
SIGTERM or after a hang-up.
"""
import argparse
import os
import selectors
import signal
import sys
import tty

HANGUP_MAGIC = b"\xde\xad\xbe\xef\x00HANGUP"


def open_port(link):
    master, slave = os.openpty()
    tty.setraw(slave)
    tty.setraw(master)
    if os.path.lexists(link):
        os.unlink(link)
    os.symlink(os.ttyname(slave), link)
    # The slave stays open here too, so that the line hangs up only when
    # this peer closes the master, not whenever Wine closes the port.
    return master, slave


def write_all(fd, data):
    while data:
        data = data[os.write(fd, data):]


def run(args):
    master, slave = open_port(args.link)
    other = None
    capture = None
    if args.mode == "relay":
        other = os.open(args.to, os.O_RDWR | os.O_NOCTTY)
        tty.setraw(other)
        capture = open(args.capture, "wb", buffering=0)
    print("ready", flush=True)
    selector = selectors.DefaultSelector()
    selector.register(master, selectors.EVENT_READ)
    if other is not None:
        selector.register(other, selectors.EVENT_READ)
    received = b""
    count = 0
    while True:
        for key, _ in selector.select():
            try:
                data = os.read(key.fd, 65536)
            except OSError:
                return  # the other side hung up
            if not data:
                return
            if key.fd == other:
                write_all(master, data)
                continue
            count += len(data)
            if args.mode == "relay":
                capture.write(data)
                write_all(other, data)
            elif args.mode == "echo":
                seen = received + data
                if HANGUP_MAGIC in seen:
                    os.close(master)
                    return
                received = seen[-(len(HANGUP_MAGIC) - 1):]
                write_all(master, data)
            elif count >= args.after:
                os.close(master)
                return


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("mode", choices=["echo", "hangup", "relay"])
    parser.add_argument("--link", required=True, help="the dosdevices entry to make, e.g. .../dosdevices/com5")
    parser.add_argument("--after", type=int, default=1, help="hangup: bytes to take before hanging up")
    parser.add_argument("--to", help="relay: the tty to join")
    parser.add_argument("--capture", help="relay: the file for the bytes the Windows side sends")
    args = parser.parse_args()
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    try:
        run(args)
    finally:
        if os.path.islink(args.link):
            os.unlink(args.link)


if __name__ == "__main__":
    main()
