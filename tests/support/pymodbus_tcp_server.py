#!/usr/bin/python3
"""A relay memory image served by pymodbus's Modbus TCP server on the loopback.

Usage: pymodbus_tcp_server.py IMAGE [UNIT]

Register n is the big-endian word at byte 2n of IMAGE (zklog-sim's memory image). Only unit
UNIT (1 by default) holds it; pymodbus answers any other unit with exception 0x0B, as a gateway
does for an address no relay answers. Prints tcp://127.0.0.1:PORT once it listens, then serves
until stopped.
"""

import asyncio
import logging
import struct
import sys

from pymodbus.datastore import (
    ModbusSequentialDataBlock,
    ModbusServerContext,
    ModbusSlaveContext,
)
from pymodbus.server.async_io import ModbusTcpServer


async def serve(image_path, unit):
    with open(image_path, "rb") as image:
        data = image.read()
    words = list(struct.unpack(f">{len(data) // 2}H", data))
    # zero_mode: register n is the block's word n, with no offset of one.
    memory = ModbusSlaveContext(hr=ModbusSequentialDataBlock(0, words), zero_mode=True)
    context = ModbusServerContext(slaves={unit: memory}, single=False)
    server = ModbusTcpServer(context, address=("127.0.0.1", 0), allow_reuse_address=True)
    serving = asyncio.ensure_future(server.serve_forever())
    while server.server is None:
        await asyncio.sleep(0.01)
    port = server.server.sockets[0].getsockname()[1]
    print(f"tcp://127.0.0.1:{port}", flush=True)
    await serving


def main():
    # A client closing its connection is logged as an error: not one here.
    logging.getLogger("pymodbus").setLevel(logging.CRITICAL)
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    unit = int(sys.argv[2]) if len(sys.argv) == 3 else 1
    try:
        asyncio.run(serve(sys.argv[1], unit))
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
