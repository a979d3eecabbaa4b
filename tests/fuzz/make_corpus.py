#!/usr/bin/python3
"""Writes the seed corpora of the fuzz targets into tests/fuzz/corpus/ (run it again only when
an input format changes; the files are committed).

record_decoding_fuzz: one log record of each shape, register words high byte first, with its
correct checksum. link_reply_fuzz: the harness's three header bytes (flags, word count, slave
address) followed by a reply as a relay sends it.
"""
import pathlib
import struct

from pymodbus.utilities import computeCRC  # Debian's python3-pymodbus

HERE = pathlib.Path(__file__).resolve().parent


def words_bytes(words):
    return b"".join(struct.pack(">H", w) for w in words)


def record_checksum(words):
    # CRC-16/MODBUS over the words, high byte first. computeCRC gives the value in the order a
    # frame carries it (low byte first), so it is swapped back into a register word.
    crc = computeCRC(words_bytes(words))
    return ((crc & 0xFF) << 8) | (crc >> 8)


def record(map_flags, second=False, differential=False):
    # 12/3/24 10:30:05, cause Histerese, relays RL1 and RL3, error SUP, RTD1 25.0, RTD2 -2.0,
    # TC1 1.50, winding 60.5.
    base = [0x0C03, 0x180A, 0x1E05, 0x0400 | map_flags, 0x0005, 0x0002, 250, 0xFFEC, 150, 605]
    words = list(base)
    if second:
        words += [0x0081, 0x0001, 300, 0xFC18, 612, 0, 0xFFFF, 1]
    if differential:
        words += [12, 0xFFF6, 0, 7, 0xFFFF, 0x8000]
    return words + [record_checksum(words)]


def reply_frame(slave, words):
    pdu = bytes([slave, 0x03, 2 * len(words)]) + words_bytes(words)
    return pdu + struct.pack(">H", computeCRC(pdu))


COMMON_COUNT = {1: 0, 7: 1, 8: 2, 10: 3}  # count selector of the link harness


def count_byte(count):
    if count in COMMON_COUNT:
        return COMMON_COUNT[count]
    # Any count: a byte from 0x80 on whose remainder by 125 is count - 1.
    return 124 + count if count >= 4 else 249 + count


def link_input(count, slave, reply, seal=False, late=False):
    return bytes([(1 if seal else 0) | (2 if late else 0), count_byte(count), slave]) + reply


def main():
    records = {
        "base-only": record(0x01),
        "second-channel": record(0x03, second=True),
        "differential": record(0x05, differential=True),
        "both-channels-differential": record(0x07, second=True, differential=True),
    }
    assert [len(w) for w in records.values()] == [11, 19, 17, 25]
    records["four-records-in-a-row"] = sum(records.values(), [])

    pattern = [(0x1234 + 0x0101 * i) & 0xFFFF for i in range(125)]
    links = {
        "pointer-1-word": link_input(1, 1, reply_frame(1, [0x0190])),
        "differential-7-words": link_input(7, 1, reply_frame(1, pattern[:7])),
        "second-channel-8-words": link_input(8, 17, reply_frame(17, pattern[:8])),
        "base-10-words-slave-247": link_input(10, 247, reply_frame(247, pattern[:10])),
        "largest-125-words": link_input(125, 1, reply_frame(1, pattern)),
        "sealed-10-words": link_input(10, 1, reply_frame(1, pattern[:10])[:-2], seal=True),
        "sealed-exception": link_input(10, 1, bytes([1, 0x83, 0x02]), seal=True),
        "late-pointer-then-base": link_input(1, 1, reply_frame(1, [0x0190]), late=True),
        "late-base-then-pointer": link_input(10, 1, reply_frame(1, pattern[:10]), late=True),
    }
    assert all(b >= 0x80 and b % 125 + 1 == c for c, b in ((c, count_byte(c)) for c in (2, 125)))

    for target, inputs in (("record_decoding_fuzz", {k: words_bytes(v) for k, v in
                                                     records.items()}),
                           ("link_reply_fuzz", links)):
        folder = HERE / "corpus" / target
        folder.mkdir(parents=True, exist_ok=True)
        for name, data in inputs.items():
            (folder / name).write_bytes(data)


if __name__ == "__main__":
    main()
