#!/usr/bin/env python3
"""Writes the seed inputs of the targets whose inputs are packed (profile, envelope) or
binary (skin), so that each seed says in words what it holds.

FuzzedDataProvider reads strings from the front (ended by a backslash and one more
character, a doubled backslash being one) and numbers from the back, last byte first.
Run from anywhere: python3 fuzz/make_seeds.py. The other seed files are written by hand.
"""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def packed_string(text: bytes) -> bytes:
    return text.replace(b"\\", b"\\\\") + b"\\|"


def back_number(value: int, size: int) -> bytes:
    """`size` bytes that ConsumeIntegral reads back as value (it takes the last byte as
    the most significant one)."""
    return value.to_bytes(size, "little")


def write(target: str, name: str, data: bytes) -> None:
    folder = os.path.join(HERE, target, "corpus")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def profile_seed(section, key, value, fallback, file, size, default, exists=True):
    front = b"".join(packed_string(s) for s in (section, key, value, fallback)) + file
    # Taken from the back in this order: buffer size (0..4096, two bytes), integer default
    # (four bytes, counted from INT_MIN), file or none (one byte, 7 meaning none).
    back = (b"\x00" if exists else b"\x07") + back_number(default + 2**31, 4) + back_number(size, 2)
    return front + back


def profiles():
    launcher = (b"[Public]\r\n; 1: remember the district launched last time.\r\n"
                b"IsKeepLoginUrl=1\r\nLastLoginUrl=6478312e7a656e742e696e76616c69643a37303030\r\n")
    write("profile", "info_ini", profile_seed(b"Public", b"LastLoginUrl", b"777431", b"", launcher, 16, 0))
    server = (b"[Public]\r\nserverhost = districts.zent.example.com \r\nserverpath=\"zent\"\r\n"
              b"WebBrowserUrl=http://127.0.0.1:8080/news.html\r\n[public]\r\nserverhost=second\r\n")
    write("profile", "rudadever_ini", profile_seed(b"PUBLIC", b"serverhost", b"127.0.0.1:8080", b"none  ",
                                                   server, 5, -1))
    odd = (b"no section=1\n[a]b]\nkey\n;x=comment\n=empty name\nn=0x1f\nm=-1\nk='single'\n"
           b"dup=first\nDUP=second\n[\xd6\xd0\xce\xc4]\n\xc3\xfb=\xd6\xb5\n[last]\rcr=only\rtail=no end")
    write("profile", "odd_lines", profile_seed(b"a]b", b"Dup", b"  \"new\"  \r\nforged=1", b"d", odd, 4096, 7))
    write("profile", "gbk_names", profile_seed(b"\xd6\xd0\xce\xc4", b"\xc3\xfb", b"\xd0\xc2", b"", odd, 3, 0))
    utf8 = b"\xef\xbb\xbf[Public]\r\nname=\xe4\xb8\xad\xe6\x96\x87\r\nn=42\r\n"
    write("profile", "utf8_mark", profile_seed(b"Public", b"n", b"43", b"", utf8, 2, 9))
    utf16 = b"\xff\xfe" + "[Public]\r\nname=中文\r\nn=42\r\n".encode("utf-16-le")
    write("profile", "utf16_mark", profile_seed(b"Public", b"name", b"\xd0\xc2", b"", utf16, 7, 1))
    write("profile", "no_file", profile_seed(b"Public", b"IsKeepLoginUrl", b"1", b"default", b"", 1, 5,
                                             exists=False))
    # A section name ending in a lone GBK lead byte: its header "[b\xc3]" does not read back
    # as one, and the key lands in section "a".
    write("profile", "regression_section_ends_in_lead_byte",
          profile_seed(b"b\xc3", b"y", b"2", b"", b"[a]\r\nx=1\r\n", 10, 0))


def envelope_seed(cipher, capacity, payload, own_key=None, header=0xA8, salt=0x1234):
    front = (own_key or b"") + packed_string(cipher) + payload
    # From the back: list key or own (one byte), capacity (0..16384, two bytes), header
    # bits (one byte), salt (two bytes).
    back = back_number(salt, 2) + bytes([header]) + back_number(capacity, 2) + (b"\x01" if own_key else b"\x00")
    return front + back


def envelopes():
    with open(os.path.join(HERE, "list_path", "corpus", "list_file_one.htm"), "rb") as f:
        cipher = bytes.fromhex(f.read().strip().decode())
    write("envelope", "list_cipher", envelope_seed(cipher, 200, b"<District/>"))
    write("envelope", "buffer_too_small", envelope_seed(cipher, 5, b""))
    write("envelope", "own_key_short", envelope_seed(bytes(range(16)), 64, b"\x00payload\\\x00",
                                                     own_key=bytes(range(16, 32)), header=0x07))
    write("envelope", "odd_length", envelope_seed(cipher[:-3], 4096, b"x" * 30))


def png(width, height, rgba_rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    raw = b"".join(b"\x00" + row for row in rgba_rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def tga(width, height, pixel):
    header = struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, width, height, 32, 8)
    return header + pixel * (width * height)


def skins():
    box = (b'<?xml version="1.0" encoding="UTF-8"?>\n<Skin>\n'
           b'  <Font name="small" size="10"/>\n'
           b'  <Default kind="Button" textcolor="#FFFFFF" normalimage="i.png"/>\n'
           b'  <Dialog name="Dialog_Box" size="200,120" title="box" bkcolor="#FF303030"\n'
           b'          defaultbutton="Button_Ok" cancelbutton="Button_Quit" caption="0,0,200,20">\n'
           b'    <Static name="Static_Info" pos="10,10,180,50" wordwrap="true" font="small" text="\xe4\xb8\xad"/>\n'
           b'    <Button name="Button_Ok" pos="10,80,80,30" text="OK" hoverimage="I.PNG;Tile"/>\n'
           b'    <Button name="Button_Quit" pos="180,0,20,20" pressedimage="ONEIMAGE:i.png"/>\n'
           b'    <Container name="Container_dx" pos="0,0,100,100" bkimage="i.tga">\n'
           b'      <Image name="Image_Tag" pos="1,1,8,8" image="i.tga"/>\n'
           b'      <Edit name="Edit_Name" pos="1,20,90,20" maxlength="16" readonly="false"/>\n'
           b'    </Container>\n'
           b'    <Browser name="Browser_News" pos="100,20,100,60" url="about-blank"/>\n'
           b'  </Dialog>\n</Skin>\n')
    pixels = [bytes([x * 60, y * 60, 128, 255]) * 4 for x, y in zip(range(4), range(4))]
    write("skin", "box_png", box + b"\x00" + png(4, 4, pixels))
    write("skin", "box_tga", box.replace(b"i.png", b"i.tga") + b"\x00" + tga(3, 2, b"\x10\x20\x30\x80"))
    bad = (b"<Skin><Dialog name=\"D\" size=\"10,10\"><Button name=\"B\" normalimage=\"i.png\" "
           b"align=\"sideways\"/></Dialog></Skin>")
    write("skin", "bad_value", bad + b"\x00" + png(1, 1, [b"\x00\x00\x00\x00"]))
    write("skin", "broken_image", box + b"\x00" + png(2, 2, [b"\xff" * 8] * 2)[:40])
    # An image one pixel wider than any skin may use, declared by a header with almost no
    # pixels behind it: refused before decoding.
    tall = (b'<Skin><Dialog name="D" size="10,10"><Image name="I" pos="0,0,4,4" image="i.tga"/>'
            b'</Dialog></Skin>')
    write("skin", "regression_image_too_wide", tall + b"\x00" + tga(4097, 1, b"")[:18] + b"\x01\x02\x03\x04")


if __name__ == "__main__":
    profiles()
    envelopes()
    skins()
