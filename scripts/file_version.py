"""Prints the file version of a Windows module, read from its version resource."""
import struct
import sys

SIGNATURE = struct.pack("<I", 0xFEEF04BD)


def file_version(image: bytes) -> str:
    resource = image.find("VS_VERSION_INFO".encode("utf-16-le"))
    fixed = image.find(SIGNATURE, resource) if resource >= 0 else -1
    if fixed < 0:
        raise SystemExit("no version resource")
    most, least = struct.unpack_from("<II", image, fixed + 8)
    return f"{most >> 16}.{most & 0xFFFF}.{least >> 16}.{least & 0xFFFF}"


if __name__ == "__main__":
    with open(sys.argv[1], "rb") as module:
        print(file_version(module.read()))
