#!/usr/bin/python3
"""A Modbus TCP client we did not write (pymodbus), for interoperability tests.

Usage: pymodbus_client.py HOST PORT UNIT ADDRESS COUNT
Reads COUNT holding registers from ADDRESS (0-based wire address) and prints
each as "0xHHHH" on a line of its own; exits 1 with the error otherwise.
"""
import logging
import sys

from pymodbus.client import ModbusTcpClient

logging.disable(logging.CRITICAL)

host, port, unit, address, count = sys.argv[1], *map(int, sys.argv[2:6])
client = ModbusTcpClient(host, port=port, timeout=3)
if not client.connect():
    sys.exit("cannot connect")
reply = client.read_holding_registers(address, count, slave=unit)
client.close()
if reply.isError():
    sys.exit(str(reply))
for word in reply.registers:
    print("0x%04X" % word)
