#!/usr/bin/env python3
"""Judges a whole default download on the Linux side, independently of the
programs that made it: the bytes the Windows side sent (as the relay
captured them) must be the seven frames of the default configuration, byte
for byte and in order, and the simulator's log must show each frame
answered with the code in its fourth byte.

usage: judge_download.py CAPTURE SIMULATOR_LOG
"""
import sys

# The frames of the default configuration: connect, the four sequences, the
# line settings (parity none, no baud item picked), disconnect.
FRAMES = [
    "7E 01 00 02",
    "7E 05 00 04 01 02 03 04",
    "7E 06 00 05 01 02 03 04 05",
    "7E 07 00 06 01 02 03 04 06 08",
    "7E 08 00 07 01 02 03 04 05 06 07",
    "7E 03 00 08 02 FF",
    "7E 01 00 03",
]


def main():
    capture_path, log_path = sys.argv[1], sys.argv[2]
    sent = open(capture_path, "rb").read()
    log = open(log_path, encoding="utf-8", errors="replace").read().splitlines()
    failures = []
    at = 0
    for number, text in enumerate(FRAMES, 1):
        frame = bytes.fromhex(text)
        got = sent[at:at + len(frame)]
        if got != frame:
            failures.append(f"frame {number}: sent {got.hex(' ').upper() or 'nothing'}, expected {text}")
            break
        at += len(frame)
    if not failures and at != len(sent):
        failures.append(f"{len(sent) - at} bytes sent after the last frame: {sent[at:].hex(' ').upper()}")

    line = 0
    for number, text in enumerate(FRAMES, 1):
        while line < len(log) and not log[line].startswith(f"<- {text}  "):
            line += 1
        if line + 1 >= len(log):
            failures.append(f"frame {number} ({text}) is missing from the simulator's log, or out of order")
            break
        answer = f"-> 7E 01 00 {text[9:11]}"
        if not log[line + 1].startswith(answer):
            failures.append(f"frame {number} ({text}) was answered with {log[line + 1]!r}, not {answer}")
        line += 2

    for failure in failures:
        print("judge: " + failure)
    if failures:
        return 1
    print(f"judge: {len(FRAMES)} frames, {len(sent)} bytes, each sent once in order and answered")
    return 0


if __name__ == "__main__":
    sys.exit(main())
