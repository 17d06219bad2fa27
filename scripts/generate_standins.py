#!/usr/bin/env python3
"""Makes the stand-in algorithm and firmware images that the editor carries
when the maker's own images are not at hand.

The maker's images cannot be shipped with this source tree, yet the editor
needs images of the right shape to list, upload and flash. The stand-ins have
exactly the sizes, header and address table the editor reads, and otherwise
hold deterministic filler with a plain-text marker, so nobody mistakes them
for the real programs:

  QUENDLE_MK3_0008  one line of 9,280 upper-case hex digits (4,640 bytes):
                    byte 0 = 00, bytes 1-2 = the length (12 20), bytes 3-36 =
                    the 17 big-endian address words, then the marker and filler.
  FIRMWARE_4        53,704 raw bytes laid out to run from 0x08000000: a
                    Cortex-M3 vector table, two handlers that only spin, the
                    marker, then filler. Flashed onto a pedal it would start
                    and do nothing.

The output depends on nothing but this file: no clock, no randomness, no
environment. Usage:

  generate_standins.py --out DIR      write both images into DIR
  generate_standins.py --check DIR    exit 1 unless DIR holds exactly what
                                      this script makes
"""

import argparse
import pathlib
import struct
import sys

# Both markers start with this text, so a program can tell a stand-in at a glance.
MARKER_PREFIX = b"QUENDLE STAND-IN"

# ---------------------------------------------------------------------------
# Algorithm image

ALGORITHM_NAME = "QUENDLE_MK3_0008"
ALGORITHM_SIZE = 4640

# The DSP addresses of the parameters, in the order of the image's table.
ADDRESS_TABLE = [
    0x000B,  # Dry
    0x00E8,  # Sub Mix
    0x0077,  # -1 Oct
    0x0073,  # -2 Oct
    0x0003,  # Wave
    0x00CC,  # Low Pass
    0x00DE,  # High Pass
    0x00A0,  # 1st Harmonic
    0x00E9,  # Split
    0x0074,  # read by the editor but not used
    0x00CD,  # read by the editor but not used
    0x00DF,  # read by the editor but not used
    0x000A,  # Input Level
    0x006E,  # 1st Harmonic Pitch
    0x00E7,  # Wave Clip
    0x001B,  # Dominant Note Cut
    0x000C,  # High Notes Cut
]

ALGORITHM_MARKER = (
    MARKER_PREFIX + b" ALGORITHM IMAGE Quendle MK3 0008. Not a DSP program: "
    b"made by scripts/generate_standins.py. Build with QUENDLE_IMAGES_DIR "
    b"to carry the maker's image.\0"
)

# ---------------------------------------------------------------------------
# Firmware image

FIRMWARE_NAME = "FIRMWARE_4"
FIRMWARE_SIZE = 53704
FLASH_BASE = 0x08000000
STACK_TOP = 0x20005000  # end of the 20 KiB SRAM of a medium-density STM32F1

# Cortex-M3 exceptions 1-15 and the 60 interrupts of a medium-density STM32F1.
SYSTEM_VECTORS = 16
IRQ_VECTORS = 60
VECTOR_TABLE_SIZE = 4 * (SYSTEM_VECTORS + IRQ_VECTORS)  # 0x130
RESERVED_VECTORS = {7, 8, 9, 10, 13}  # entries the core leaves unused

RESET_HANDLER = VECTOR_TABLE_SIZE  # offset of the reset handler's code
DEFAULT_HANDLER = RESET_HANDLER + 4
THUMB_SPIN = bytes([0xFE, 0xE7])  # b .   (branch to itself)
THUMB_NOP = bytes([0x00, 0xBF])  # nop   (keeps the next handler word-aligned)
FIRMWARE_MARKER_OFFSET = DEFAULT_HANDLER + 4  # 0x138

FIRMWARE_MARKER = (
    MARKER_PREFIX + b" FIRMWARE 4 for the Quendle MK3. Not the pedal's firmware: "
    b"its handlers only spin. Made by scripts/generate_standins.py. Build with "
    b"QUENDLE_IMAGES_DIR to carry the maker's image.\0"
)


def filler(seed: int, count: int) -> bytes:
    """Deterministic bytes from a 32-bit xorshift generator."""
    state = seed & 0xFFFFFFFF
    out = bytearray()
    while len(out) < count:
        state ^= (state << 13) & 0xFFFFFFFF
        state ^= state >> 17
        state ^= (state << 5) & 0xFFFFFFFF
        out += struct.pack("<I", state)
    return bytes(out[:count])


def algorithm_image() -> bytes:
    header = bytes([0x00]) + struct.pack(">H", ALGORITHM_SIZE)
    table = b"".join(struct.pack(">H", word) for word in ADDRESS_TABLE)
    head = header + table + ALGORITHM_MARKER
    image = head + filler(0x51E4D1E0, ALGORITHM_SIZE - len(head))
    assert len(image) == ALGORITHM_SIZE
    return image


def algorithm_text() -> bytes:
    # One line, no line break: the editor uses only the first line.
    return algorithm_image().hex().upper().encode("ascii")


def firmware_image() -> bytes:
    vectors = []
    for index in range(SYSTEM_VECTORS + IRQ_VECTORS):
        if index == 0:
            vectors.append(STACK_TOP)
        elif index == 1:
            vectors.append(FLASH_BASE + RESET_HANDLER + 1)  # odd: Thumb code
        elif index in RESERVED_VECTORS:
            vectors.append(0)
        else:
            vectors.append(FLASH_BASE + DEFAULT_HANDLER + 1)
    table = b"".join(struct.pack("<I", v) for v in vectors)
    code = THUMB_SPIN + THUMB_NOP + THUMB_SPIN + THUMB_NOP
    head = table + code + FIRMWARE_MARKER
    assert len(table) == VECTOR_TABLE_SIZE and len(table + code) == FIRMWARE_MARKER_OFFSET
    image = head + filler(0xF1A5C0DE, FIRMWARE_SIZE - len(head))
    assert len(image) == FIRMWARE_SIZE
    return image


def images() -> dict:
    return {ALGORITHM_NAME: algorithm_text(), FIRMWARE_NAME: firmware_image()}


def write(out: pathlib.Path) -> int:
    out.mkdir(parents=True, exist_ok=True)
    for name, content in images().items():
        path = out / name
        # Leave an identical file alone so the build does not redo the resources.
        if not path.is_file() or path.read_bytes() != content:
            path.write_bytes(content)
    return 0


def check(folder: pathlib.Path) -> int:
    faults = []
    for name, content in images().items():
        path = folder / name
        if not path.is_file():
            faults.append(f"{path}: missing")
        elif path.read_bytes() != content:
            faults.append(f"{path}: differs from what the generator makes")
    for fault in faults:
        print(fault, file=sys.stderr)
    return 1 if faults else 0


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    group = parser.add_mutually_exclusive_group(required=True)
    group.add_argument("--out", type=pathlib.Path, help="folder to write the images into")
    group.add_argument("--check", type=pathlib.Path, help="folder whose images to compare")
    args = parser.parse_args()
    return write(args.out) if args.out else check(args.check)


if __name__ == "__main__":
    sys.exit(main())
