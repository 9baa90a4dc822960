#!/usr/bin/env python3
"""Write the stand-in firmware image resources/blow.bin.

The product image is not ours to ship, so the build embeds this stand-in: an image of the same
length that starts like a Cortex-M application (initial stack pointer, Thumb vectors into the
image, a short reset path) and carries the version record at offset 256 that the tool reads.
Everything else is fixed-seed filler, so the output is the same on every run.

    python3 tools/make_blow.py [output]      (default: resources/blow.bin next to this folder)
"""

import struct
import sys
from pathlib import Path

IMAGE_SIZE = 74_536
FLASH_BASE = 0x0800_0000
STACK_TOP = 0x2000_5000          # end of a 20 KiB SRAM

# Version record: three zero-padded texts in fixed fields.
RECORD_OFFSET = 256
TYPE_TEXT, TYPE_FIELD = b"K64_r2", 48
VERSION_TEXT, VERSION_FIELD = b"000.014", 16
DATE_TEXT, DATE_FIELD = b"Sep 29 2016", 32

# Code placed right after the record (offset 352 on).
RESET_OFFSET = 0x160
DEFAULT_HANDLER_OFFSET = 0x168
SYSTEM_INIT_OFFSET = 0x180
MAIN_OFFSET = 0x1A0
FILLER_OFFSET = 0x1C0

SYSTEM_VECTORS = 16              # stack pointer, reset and the 14 core exception slots
IRQ_VECTORS = 48                 # the table must end before the version record
RESERVED_SLOTS = {7, 8, 9, 10, 13}


def thumb(addr_offset: int) -> int:
    """Address of Thumb code at the given image offset (bit 0 set)."""
    return FLASH_BASE + addr_offset + 1


def field(text: bytes, size: int) -> bytes:
    if len(text) >= size:
        raise ValueError(f"{text!r} does not fit a {size}-byte field with its terminator")
    return text + bytes(size - len(text))


def vector_table() -> bytes:
    words = [STACK_TOP, thumb(RESET_OFFSET)]
    for slot in range(2, SYSTEM_VECTORS):
        words.append(0 if slot in RESERVED_SLOTS else thumb(DEFAULT_HANDLER_OFFSET))
    words += [thumb(DEFAULT_HANDLER_OFFSET)] * IRQ_VECTORS
    table = struct.pack(f"<{len(words)}I", *words)
    assert len(table) == RECORD_OFFSET
    return table


def startup_code() -> bytes:
    """Reset: call SystemInit, jump to main; default handler and main spin, SystemInit returns."""
    code = bytearray(FILLER_OFFSET - RESET_OFFSET)

    def put(offset: int, data: bytes) -> None:
        code[offset - RESET_OFFSET:offset - RESET_OFFSET + len(data)] = data

    put(0x160, struct.pack("<4H",
                           0x4803,    # ldr r0, [pc, #12]  -> literal at 0x170
                           0x4780,    # blx r0
                           0x4803,    # ldr r0, [pc, #12]  -> literal at 0x174
                           0x4700))   # bx  r0
    put(DEFAULT_HANDLER_OFFSET, struct.pack("<4H", 0xE7FE, 0xBF00, 0xBF00, 0xBF00))  # b . ; nops
    put(0x170, struct.pack("<2I", thumb(SYSTEM_INIT_OFFSET), thumb(MAIN_OFFSET)))
    put(0x178, struct.pack("<4H", 0xBF00, 0xBF00, 0xBF00, 0xBF00))
    put(SYSTEM_INIT_OFFSET, struct.pack("<H", 0x4770) + struct.pack("<15H", *[0xBF00] * 15))  # bx lr
    put(MAIN_OFFSET, struct.pack("<H", 0xE7FE) + struct.pack("<15H", *[0xBF00] * 15))         # b .
    return bytes(code)


def filler(length: int) -> bytes:
    """xorshift32 words from a fixed seed."""
    state = 0x4B36_3432
    out = bytearray()
    while len(out) < length:
        state ^= (state << 13) & 0xFFFF_FFFF
        state ^= state >> 17
        state ^= (state << 5) & 0xFFFF_FFFF
        out += struct.pack("<I", state)
    return bytes(out[:length])


def build() -> bytes:
    image = bytearray()
    image += vector_table()
    image += field(TYPE_TEXT, TYPE_FIELD) + field(VERSION_TEXT, VERSION_FIELD) + field(DATE_TEXT, DATE_FIELD)
    assert len(image) == RESET_OFFSET
    image += startup_code()
    image += filler(IMAGE_SIZE - len(image))
    assert len(image) == IMAGE_SIZE
    return bytes(image)


def main() -> int:
    default = Path(__file__).resolve().parent.parent / "resources" / "blow.bin"
    target = Path(sys.argv[1]) if len(sys.argv) > 1 else default
    target.write_bytes(build())
    print(f"{target}: {IMAGE_SIZE} bytes")
    return 0


if __name__ == "__main__":
    sys.exit(main())
