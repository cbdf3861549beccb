#!/usr/bin/python3
"""A small Modbus slave that misbehaves on purpose, for the transport tests.

Usage: peer.py tcp 0 | rtu DEVICE  [--mode MODE] [--log FILE] [--late-at N]
               [--delay-ms MS] [--ident HEX]

Holding register a holds 0x1000 + a (16-bit values; a read with quantity 1
returns the byte count the request's quantity implies, or --size bytes).
Modes:
  normal     answers correctly
  silent     never answers
  badcrc     answers with a corrupted CRC (serial only)
  exception  answers every request with exception 02
  short      answers function 3 with byte count 0
  late       answers request number --late-at (1-based) after --delay-ms,
             every other request at once
--every-ms MS delays every reply by MS.
--stale HEX   before answering the first request, sends this reply (slave
              first, no CRC) as a reply left in the line by an earlier run.
--no-echo     answers the line check (function 8) with exception 01.
Function 8 sub-function 0 echoes the request; line checks do not count for
--late-at.
--exception-at ADDR answers reads of that register with exception 02.
--exception-code N  the code the exception mode answers with (default 2).
--once        the mode hits only request number --late-at; the others are
              answered normally (so a test sees the link come back).
More modes, for the fault matrix:
  wrongslave answers as another slave (address + 1)
  wrongtid   answers TCP with another transaction id
  long       answers function 3 with two bytes more than asked for
  junk       sends three junk bytes before the reply
  drop       closes the TCP connection instead of answering (and accepts
             the next one)
Every request (slave, function, data; no CRC/MBAP) is appended as hex to --log.
TCP replies carry the request's transaction id. Prints "READY <port>" when
listening.
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
        self.ident = bytes.fromhex(args.ident) if args.ident else None

    def value(self, addr):
        return self.regs.get(addr, (0x1000 + addr) & 0xFFFF)

    def log(self, pdu):
        if self.args.log:
            with open(self.args.log, "a") as f:
                f.write(pdu.hex() + "\n")

    def mode(self):
        """The mode of the request being answered."""
        if self.args.once and self.count != self.args.late_at:
            return "normal"
        return self.args.mode

    def answer(self, pdu):
        """The reply PDU (slave first) to a request, or None for silence."""
        self.log(pdu)
        if pdu[1] == 0x08 and not self.args.no_echo and \
                (self.args.mode != "silent" or self.args.once):
            time.sleep(self.args.every_ms / 1000.0)
            self.current = "normal" if self.args.once else self.args.mode
            return pdu
        self.count += 1
        mode = self.current = self.mode()
        if mode == "silent":
            return None
        if self.args.every_ms:
            time.sleep(self.args.every_ms / 1000.0)
        if mode == "late" and self.count == self.args.late_at:
            time.sleep(self.args.delay_ms / 1000.0)
        slave, fc = pdu[0], pdu[1]
        if self.args.exception_at is not None and fc == 0x03 and \
                struct.unpack(">H", pdu[2:4])[0] == self.args.exception_at:
            return bytes([slave, fc | 0x80, 0x02])
        if mode == "exception":
            return bytes([slave, fc | 0x80, self.args.exception_code])
        if mode == "wrongslave":
            slave = (slave + 1) & 0xFF
        if fc == 0x03:
            addr, qty = struct.unpack(">HH", pdu[2:6])
            if mode == "short":
                return bytes([slave, 3, 0])
            size = self.args.size or 2 * qty + (2 if mode == "long" else 0)
            data = b"".join(struct.pack(">H", self.value(addr + i)) for i in range(size // 2))
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
        if fc == 0x41 and self.ident is not None:
            return bytes([slave, 0x41]) + self.ident
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
                if reply is not None:
                    if slave.current == "wrongtid":
                        tid = (tid + 1) & 0xFFFF
                    junk = b"\xff\x00\x55" if slave.current == "junk" else b""
                    conn.sendall(junk + struct.pack(">HHH", tid, 0, len(reply)) + reply)
        conn.close()


def request_length(buf):
    if len(buf) < 2:
        return None
    fc = buf[1]
    if fc in (0x03, 0x06, 0x08):
        return 8
    if fc == 0x10:
        return 9 + buf[6] if len(buf) >= 7 else None
    if fc == 0x41:
        return 4
    return len(buf)  # unknown: take what came


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
                crc ^= 0x5A5A
            junk = b"\xff\x00\x55" if slave.current == "junk" else b""
            os.write(fd, junk + reply + struct.pack("<H", crc))
            termios.tcdrain(fd)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("kind", choices=["tcp", "rtu"])
    p.add_argument("where")
    p.add_argument("--mode", default="normal")
    p.add_argument("--log")
    p.add_argument("--late-at", type=int, default=2)
    p.add_argument("--delay-ms", type=int, default=150)
    p.add_argument("--size", type=int, default=0)
    p.add_argument("--ident")
    p.add_argument("--every-ms", type=int, default=0)
    p.add_argument("--stale")
    p.add_argument("--no-echo", action="store_true")
    p.add_argument("--exception-at", type=lambda t: int(t, 0))
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
