#!/usr/bin/python3
"""A Modbus server we did not write (pymodbus), for interoperability tests.

Usage: pymodbus_server.py tcp PORT | rtu DEVICE
Holding registers 0..999 start as 1000 + address (wire address = block index).
"""
import logging
import sys

from pymodbus.datastore import (ModbusSequentialDataBlock, ModbusServerContext,
                                 ModbusSlaveContext)
from pymodbus.server import StartSerialServer, StartTcpServer
from pymodbus.transaction import ModbusRtuFramer

logging.disable(logging.CRITICAL)

block = ModbusSequentialDataBlock(0, [1000 + a for a in range(1000)])
slave = ModbusSlaveContext(hr=block, zero_mode=True)
context = ModbusServerContext(slaves=slave, single=True)

kind, where = sys.argv[1], sys.argv[2]
print("READY", flush=True)
if kind == "tcp":
    StartTcpServer(context=context, address=("127.0.0.1", int(where)))
else:
    # A pty carries bytes, not line settings, and pyserial cannot set parity
    # on one: the server's end stays at no parity.
    StartSerialServer(context=context, framer=ModbusRtuFramer, port=where,
                      baudrate=19200, bytesize=8, parity="N", stopbits=1)
