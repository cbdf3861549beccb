#!/usr/bin/python3
"""A Modbus slave that misbehaves on purpose, for the link tests.

Usage: peer.py tcp 0 | rtu DEVICE [--mode MODE] [options below]
Holding register a holds 0x1000 + a; a read returns what its quantity asks
for, or --size bytes. Modes: normal; silent; badcrc (serial); exception
(code --exception-code); short (byte count 0); long (two bytes more than
asked); late (request --late-at comes --delay-ms late); wrongslave; wrongtid
(TCP); junk (three bytes before the reply); drop (TCP: closes the connection
instead of answering, and accepts the next one); flood (TCP: replies under
other transaction ids for --delay-ms instead of the answer). --once: only request
--late-at meets the mode. --every-ms delays every reply. --stale HEX: a
leftover reply sent before the first answer.
--no-echo: the line check (function 8, which --late-at does not count) gets
exception 01. --ident HEX: the 0x41 reply's data. --log FILE: every request
(slave first, no CRC/MBAP) as hex. Prints "READY <port>" when serving.
"""
import argparse
import os
import select
import socket
import struct
import sys
import termios
import time
import tty


def crc16(data):
    crc = 0xFFFF
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


class Slave:
    def __init__(self, args):
        self.args = args
        self.count = 0
        self.current = args.mode  # the mode of the reply being sent
        self.regs = {}

    def answer(self, pdu):
        """The reply PDU (slave first) to a request, or None for silence."""
        if self.args.log:
            with open(self.args.log, "a") as f:
                f.write(pdu.hex() + "\n")
        if pdu[1] == 0x08 and not self.args.no_echo and \
                (self.args.mode != "silent" or self.args.once):
            time.sleep(self.args.every_ms / 1000.0)
            self.current = "normal" if self.args.once else self.args.mode
            return pdu
        self.count += 1
        once = self.args.once and self.count != self.args.late_at
        mode = self.current = "normal" if once else self.args.mode
        if mode == "silent":
            return None
        time.sleep(self.args.every_ms / 1000.0)
        if mode == "late" and self.count == self.args.late_at:
            time.sleep(self.args.delay_ms / 1000.0)
        slave, fc = pdu[0], pdu[1]
        if mode == "exception":
            return bytes([slave, fc | 0x80, self.args.exception_code])
        if mode == "wrongslave":
            slave = (slave + 1) & 0xFF
        if fc == 0x03:
            addr, qty = struct.unpack(">HH", pdu[2:6])
            if mode == "short":
                return bytes([slave, 3, 0])
            size = self.args.size or 2 * qty + (2 if mode == "long" else 0)
            words = [self.regs.get(a, (0x1000 + a) & 0xFFFF) for a in range(addr, addr + size // 2)]
            data = b"".join(struct.pack(">H", w) for w in words)
            return bytes([slave, 3, len(data)]) + data
        if fc == 0x10:
            addr, qty, n = struct.unpack(">HHB", pdu[2:7])
            data = pdu[7:7 + n]
            for i in range(len(data) // 2):
                self.regs[addr + i] = struct.unpack(">H", data[2 * i:2 * i + 2])[0]
            return pdu[:6]
        if fc == 0x06:
            addr, val = struct.unpack(">HH", pdu[2:6])
            self.regs[addr] = val
            return pdu[:6]
        if fc == 0x41 and self.args.ident:
            return bytes([slave, 0x41]) + bytes.fromhex(self.args.ident)
        return bytes([slave, fc | 0x80, 0x01])


def serve_tcp(slave, args):
    srv = socket.socket()
    srv.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    srv.bind(("127.0.0.1", int(args.where)))
    srv.listen(4)
    print("READY", srv.getsockname()[1], flush=True)
    while True:
        conn, _ = srv.accept()
        buf = b""
        dropped = False
        while not dropped:
            chunk = conn.recv(512)
            if not chunk:
                break
            buf += chunk
            while len(buf) >= 6:
                tid, proto, length = struct.unpack(">HHH", buf[:6])
                if len(buf) < 6 + length:
                    break
                pdu, buf = buf[6:6 + length], buf[6 + length:]
                reply = slave.answer(pdu)
                if slave.current == "drop":
                    dropped = True
                    break
                if slave.current == "flood":
                    stale = struct.pack(">HHH", (tid + 1) & 0xFFFF, 0, len(reply)) + reply
                    until = time.monotonic() + args.delay_ms / 1000.0
                    while time.monotonic() < until:
                        conn.sendall(stale * 64)
                    continue
                if reply is not None:
                    if slave.current == "wrongtid":
                        tid = (tid + 1) & 0xFFFF
                    junk = b"\xff\x00\x55" if slave.current == "junk" else b""
                    conn.sendall(junk + struct.pack(">HHH", tid, 0, len(reply)) + reply)
        conn.close()


def request_length(buf):
    if len(buf) < 2 or (buf[1] == 0x10 and len(buf) < 7):
        return None
    if buf[1] == 0x10:
        return 9 + buf[6]
    return {0x03: 8, 0x06: 8, 0x08: 8, 0x41: 4}.get(buf[1], len(buf))  # unknown: what came


def serve_rtu(slave, args):
    fd = os.open(args.where, os.O_RDWR | os.O_NOCTTY)
    tty.setraw(fd)
    print("READY 0", flush=True)
    buf = b""
    while True:
        select.select([fd], [], [])
        buf += os.read(fd, 512)
        while True:
            n = request_length(buf)
            if n is None or len(buf) < n:
                break
            frame, buf = buf[:n], buf[n:]
            if crc16(frame[:-2]) != struct.unpack("<H", frame[-2:])[0]:
                buf = b""
                break
            if args.stale:
                stale = bytes.fromhex(args.stale)
                os.write(fd, stale + struct.pack("<H", crc16(stale)))
                args.stale = None
            reply = slave.answer(frame[:-2])
            if reply is None:
                continue
            crc = crc16(reply)
            if slave.current == "badcrc":
                crc ^= 0x5A00  # the high byte only: both must be checked
            junk = b"\xff\x00\x55" if slave.current == "junk" else b""
            os.write(fd, junk + reply + struct.pack("<H", crc))
            termios.tcdrain(fd)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("kind", choices=["tcp", "rtu"])
    p.add_argument("where")
    p.add_argument("--mode", default="normal")
    for name in ("--log", "--ident", "--stale"):
        p.add_argument(name)
    for name, default in (("--late-at", 2), ("--delay-ms", 150), ("--size", 0), ("--every-ms", 0)):
        p.add_argument(name, type=int, default=default)
    p.add_argument("--no-echo", action="store_true")
    p.add_argument("--exception-code", type=lambda t: int(t, 0), default=2)
    p.add_argument("--once", action="store_true")
    args = p.parse_args()
    slave = Slave(args)
    try:
        (serve_tcp if args.kind == "tcp" else serve_rtu)(slave, args)
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    sys.exit(main())
