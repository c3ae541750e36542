#!/usr/bin/env python3
"""Lets the guest of scripts/rig.sh give commands to QEMU's monitor, so that
a test can pull a USB adapter out (device_del) and plug it back
(device_add) while it runs.

The guest writes one monitor command into JOB/monitor/request (made under
another name and renamed, so it is whole when it appears); this agent
sends it to the monitor, writes what the monitor answered into
JOB/monitor/reply the same way and removes the request. It checks for a
request every 20 ms until the monitor's socket closes, which it does when
QEMU ends.

usage: rig-monitor.py MONITOR_SOCKET JOB_DIR
"""
import os
import socket
import sys
import time

PROMPT = b"(qemu) "


def read_to_prompt(monitor):
    answer = b""
    while not answer.endswith(PROMPT):
        chunk = monitor.recv(4096)
        if not chunk:
            raise ConnectionError("the monitor closed")
        answer += chunk
    return answer[: -len(PROMPT)]


def connect(path):
    for _ in range(500):
        try:
            monitor = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            monitor.connect(path)
            return monitor
        except (FileNotFoundError, ConnectionRefusedError):
            monitor.close()
            time.sleep(0.02)
    raise ConnectionError("no monitor at " + path)


def main():
    monitor_path, job = sys.argv[1:3]
    folder = os.path.join(job, "monitor")
    os.makedirs(folder, exist_ok=True)
    request = os.path.join(folder, "request")
    reply = os.path.join(folder, "reply")
    monitor = connect(monitor_path)
    read_to_prompt(monitor)  # the banner
    try:
        while True:
            if os.path.exists(request):
                with open(request, "rb") as file:
                    command = file.read().strip()
                os.unlink(request)
                monitor.sendall(command + b"\n")
                answer = read_to_prompt(monitor)
                with open(reply + ".new", "wb") as file:
                    file.write(answer)
                os.rename(reply + ".new", reply)
            time.sleep(0.02)
    except (ConnectionError, OSError):
        pass  # QEMU has ended


if __name__ == "__main__":
    main()
