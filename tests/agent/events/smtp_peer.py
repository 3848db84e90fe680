#!/usr/bin/python3
"""A real SMTP server for the mail tests.

Listens on 127.0.0.1:PORT, refuses the receivers named with --refuse, and
appends every message it accepts to OUT:

    HELO <name given>
    MAIL FROM <address>
    RCPT TO <address>      (one line per accepted receiver)
    DATA
    <the message as received, dots unstuffed>
    END

Prints "ready" once it accepts connections and stops on SIGTERM.
"""
import argparse
import os
import signal
import sys
import threading

from aiosmtpd.controller import Controller


class Recorder:
    def __init__(self, out, refused):
        self.out = out
        self.refused = set(refused)

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address in self.refused:
            return "550 5.1.1 <%s>: Recipient address rejected" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        with open(self.out, "ab") as out:
            out.write(b"HELO %s\n" % (session.host_name or "").encode())
            out.write(b"MAIL FROM %s\n" % envelope.mail_from.encode())
            for address in envelope.rcpt_tos:
                out.write(b"RCPT TO %s\n" % address.encode())
            out.write(b"DATA\n" + envelope.original_content + b"END\n")
        return "250 Message accepted for delivery"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, default=25)
    parser.add_argument("--out", required=True)
    parser.add_argument("--refuse", action="append", default=[])
    args = parser.parse_args()
    controller = Controller(Recorder(args.out, args.refuse), hostname="127.0.0.1", port=args.port)
    controller.start()
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    os.write(1, b"ready\n")
    stop.wait()
    controller.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
