#!/usr/bin/python3
"""Downloads a ZKA/ZKB relay's event log into table LOG of a SQLite file, with pymodbus.

The script a user of the relay would write for the job, kept as the yardstick zklog is
compared with: the same reads (log pointer, then each record's blocks as its map flags say)
and the same 26-column rows, one commit per row.

usage: peer_download.py --port PTY|tcp://HOST:PORT --address 1 --db LOG.db [--whole]
                        [--baud 115200]
"""
import argparse
import sqlite3
import sys

from pymodbus.client import ModbusSerialClient, ModbusTcpClient

POINTER_REGISTER = 1024
POINTER_ATTEMPTS = 6
LOG_START = 2000
LAST_RECORD_START = 18120

CAUSES = ["Tempo LOG Atingido", "Power Up", "Histerese", "Mudança Erros", "Mudança Relés"]
MAPS = ["ZKA", "ZKB", "WPX"]
RELAYS = [f"RL{n}" for n in range(1, 9)]
ERRORS = ["SUP", "E2PROM", "OVERFLOW", "RTD", "PIC", "TC1", "TC2", "RTD1", "RTD2", "CAL1",
          "CAL2", "SALTO1", "SALTO2"]
ZKB, WPX = 1 << 1, 1 << 2

COLUMNS = ["Data", "Hora", "Causa", "Mapas", "Reles Ativos", "Erros", "RTD1", "RTD2", "TC1",
           "Enrolamento", "Reles Ativos2", "Erros2", "RTD3", "RTD4", "Enrolamento2",
           "Enrolamento3", "TC3", "TC4", "Dif Instantaneo1", "Dif Instantaneo2",
           "Dif Instantaneo3", "Dif Filtrado1", "Dif Filtrado2", "Dif Filtrado3", "CRC",
           "CRC_Valido"]
TYPES = ["TEXT"] * 6 + ["REAL"] * 4 + ["TEXT"] * 2 + ["REAL"] * 12 + ["INTEGER"] * 2


class ReadError(Exception):
    pass


def read(client, address, first, count):
    reply = client.read_holding_registers(first, count, slave=address)
    if reply.isError():
        raise ReadError(f"{count} words at {first}: {reply}")
    return reply.registers


def flag_text(value, names):
    text = "".join(f"| {name}" for bit, name in enumerate(names) if value >> bit & 1)
    return text or None


def tenths(word):
    return (word - 0x10000 if word & 0x8000 else word) / 10


def hundredths(word):
    return word / 100


def crc16(words):
    crc = 0xFFFF
    for word in words:
        for byte in (word >> 8, word & 0xFF):
            crc ^= byte
            for _ in range(8):
                crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


def decode(base, second, differential, checksum):
    """One row of LOG from a record's blocks (None for a block the record lacks)."""
    row = dict.fromkeys(COLUMNS)
    row["Data"] = f"{base[0] >> 8}/{base[0] & 0xFF}/{base[1] >> 8}"
    row["Hora"] = f"{base[1] & 0xFF}:{base[2] >> 8}:{base[2] & 0xFF}"
    row["Causa"] = flag_text(base[3] >> 8, CAUSES)
    row["Mapas"] = flag_text(base[3] & 0xFF, MAPS)
    row["Reles Ativos"] = flag_text(base[4] & 0xFF, RELAYS)
    row["Erros"] = flag_text(base[5], ["ZKB"] + ERRORS)
    row["RTD1"], row["RTD2"] = tenths(base[6]), tenths(base[7])
    row["TC1"], row["Enrolamento"] = hundredths(base[8]), tenths(base[9])
    words = list(base)
    if second:
        row["Reles Ativos2"] = flag_text(second[0] & 0xFF, RELAYS)
        row["Erros2"] = flag_text(second[1], ["ZKA"] + ERRORS)
        row["RTD3"], row["RTD4"] = tenths(second[2]), tenths(second[3])
        row["Enrolamento2"], row["Enrolamento3"] = tenths(second[4]), tenths(second[5])
        row["TC3"], row["TC4"] = hundredths(second[6]), hundredths(second[7])
        words += second
    if differential:
        for i, name in enumerate(COLUMNS[18:24]):
            row[name] = tenths(differential[i])
        words += differential
    row["CRC"] = checksum
    row["CRC_Valido"] = int(crc16(words) == checksum)
    return row


def read_pointer(client, address):
    for _ in range(POINTER_ATTEMPTS):
        try:
            return read(client, address, POINTER_REGISTER, 1)[0]
        except ReadError:
            continue
    raise ReadError("no answer to the log pointer")


def read_record(client, address, start):
    """The record at `start` and the register after it."""
    base = read(client, address, start, 10)
    at = start + 10
    second = differential = None
    if base[3] & ZKB:
        second = read(client, address, at, 8)
        at += 8
    if base[3] & WPX:
        block = read(client, address, at, 7)
        differential, checksum = block[:6], block[6]
        at += 7
    else:
        checksum = read(client, address, at, 1)[0]
        at += 1
    return decode(base, second, differential, checksum), at


def open_database(path):
    db = sqlite3.connect(path)
    columns = ", ".join(f'"{name}" {kind}' for name, kind in zip(COLUMNS, TYPES))
    db.execute(f"CREATE TABLE IF NOT EXISTS LOG ({columns})")
    # The durability zklog chooses (a crash loses no saved row, a power cut may), so the two
    # are compared on their work and not on a disk flush per row.
    db.execute("PRAGMA journal_mode=WAL")
    db.execute("PRAGMA synchronous=NORMAL")
    return db


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", required=True)
    parser.add_argument("--address", type=int, default=1)
    parser.add_argument("--db", required=True)
    parser.add_argument("--whole", action="store_true", help="read the whole log memory")
    parser.add_argument("--baud", type=int, default=9600)
    args = parser.parse_args()

    if args.port.startswith("tcp://"):
        host, _, port = args.port[len("tcp://"):].rpartition(":")
        client = ModbusTcpClient(host, port=int(port), timeout=0.5)
    else:
        client = ModbusSerialClient(method="rtu", port=args.port, baudrate=args.baud,
                                    timeout=0.5)
    # pymodbus 3.0.0 keeps int(timeout): 0.5 became 0, a read that never waits, and every reply
    # not already in the buffer was "No response received".
    client.params.timeout = 0.5
    if not client.connect():
        sys.exit(f"cannot open {args.port}")
    db = open_database(args.db)
    insert = 'INSERT INTO LOG ({}) VALUES ({})'.format(
        ", ".join(f'"{name}"' for name in COLUMNS), ", ".join("?" * len(COLUMNS)))
    try:
        pointer = read_pointer(client, args.address)
        if pointer == 0:
            print("The log is empty")
            return
        end = LAST_RECORD_START if args.whole else LOG_START + pointer
        db.execute("DELETE FROM LOG")
        db.commit()
        start, rows = LOG_START, 0
        while start <= end:
            row, start = read_record(client, args.address, start)
            db.execute(insert, [row[name] for name in COLUMNS])
            db.commit()
            rows += 1
        print(f"{rows} rows saved")
    except ReadError as error:
        sys.exit(f"read failed: {error}")
    finally:
        client.close()
        db.close()


if __name__ == "__main__":
    main()
