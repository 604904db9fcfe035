#!/usr/bin/python3
"""Prints the target of a Windows shortcut (.lnk): the local base path of its LinkInfo, in the ANSI code
page the shortcut was written in (CP932 by default), as UTF-8.
   ShortcutTarget.py SHORTCUT.lnk [CODE-PAGE]"""
import struct
import sys

HAS_LINK_TARGET_ID_LIST = 0x1
HAS_LINK_INFO = 0x2
VOLUME_ID_AND_LOCAL_BASE_PATH = 0x1


def target(data: bytes, code_page: str) -> str:
    def u16(at):
        return struct.unpack_from("<H", data, at)[0]

    def u32(at):
        return struct.unpack_from("<I", data, at)[0]

    if len(data) < 0x4C or u32(0) != 0x4C:
        raise ValueError("not a shortcut")
    flags = u32(0x14)
    at = 0x4C
    if flags & HAS_LINK_TARGET_ID_LIST:
        at += 2 + u16(at)
    if not flags & HAS_LINK_INFO:
        raise ValueError("the shortcut has no link information")
    info_size, header_size, info_flags = u32(at), u32(at + 4), u32(at + 8)
    if at + info_size > len(data) or not info_flags & VOLUME_ID_AND_LOCAL_BASE_PATH:
        raise ValueError("the shortcut names no local path")
    if header_size >= 0x24:  # the Unicode path, when there is one
        start = end = at + u32(at + 0x1C)
        while u16(end):
            end += 2
        return data[start:end].decode("utf-16-le")
    offset = u32(at + 0x10)
    end = data.index(b"\0", at + offset)
    return data[at + offset:end].decode(code_page)


if __name__ == "__main__":
    with open(sys.argv[1], "rb") as shortcut:
        print(target(shortcut.read(), sys.argv[2] if len(sys.argv) > 2 else "cp932"))
