"""How long the reads of a download keep an RTU line busy, whatever software drives it."""

REQUEST_BYTES = 8  # function 3: address, function, first register, count, CRC
BITS_PER_BYTE = 10  # start, 8 data, stop
SILENCE_BITS = 35  # 3.5 characters end every frame


def reply_bytes(count):
    return 5 + 2 * count  # address, function, byte count, the words, CRC


def read_seconds(count, baud):
    """One read of `count` words: the request frame, then the reply frame."""
    frames_bits = BITS_PER_BYTE * (REQUEST_BYTES + reply_bytes(count)) + 2 * SILENCE_BITS
    return frames_bits / baud


def wire_seconds(reads, baud):
    """All of `reads`, (slave, function, first register, count) each, one after another."""
    return sum(read_seconds(count, baud) for _, _, _, count in reads)
