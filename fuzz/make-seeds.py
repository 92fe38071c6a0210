#!/usr/bin/env python3
"""Writes the hand-made seed inputs of the fuzz targets into corpus/TARGET/seed-*.

Seeds are small, valid or nearly valid inputs of each reader, so the fuzzer starts from the
shapes real files have. Inputs that once broke a reader are added next to them by hand (or by
`make fuzz`, as crash-* files) and are never generated here. Run it from anywhere; it rewrites
only seed-* files.
"""
import os
import random
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(HERE)


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("utf-8")
    with open(os.path.join(folder, "seed-" + name), "wb") as f:
        f.write(data)


def read(path):
    with open(os.path.join(SOURCE, path), "rb") as f:
        return f.read()


def gbk():
    names = ["中侏罗统", "寒武系", "第四系", "创建剖面地层成功", "ASCII only", "€ and ·"]
    for i, name in enumerate(names):
        write("gbk", "text-%d" % i, name.encode("gbk") if i != 5 else "·".encode("gbk") + b"\x80")
    write("gbk", "cut-lead-byte", "地层".encode("gbk")[:-1])
    write("gbk", "bad-trail-byte", b"\x81\x7f\x81\x30")
    write("gbk", "utf16-surrogates", "𝄞x".encode("utf-16-le") + b"\x00\xd8")


def variant_change():
    # type index, target index, flags, then the value bytes
    for i, (src, dst, value) in enumerate([(8, 2, b"12345\xff"), (8, 5, b"-1.5e3\xff"), (5, 3, struct.pack("<d", 2.5)),
                                           (11, 8, b"\x01" + b"\x00" * 15), (3, 1, struct.pack("<q", 1 << 40)),
                                           (8, 7, b"2004-03-01 08:30:00\xff"), (20, 11, b"\x01" + b"\x00" * 15)]):
        write("variant_change", "pair-%d" % i, struct.pack("<QQB", src, dst, 0) + value)


def safearray():
    # type, dims, per bound: kind, count, lower; vector flag; redim bound
    write("safearray", "vector", struct.pack("<QQ", 0, 1) + bytes([1, 4, 4]) + b"\x01" + bytes([1, 8, 4]))
    write("safearray", "two-dims", struct.pack("<QQ", 4, 2) + bytes([1, 3, 4, 1, 2, 4]) + b"\x00" + bytes([1, 5, 4]))
    write("safearray", "huge-count", struct.pack("<QQ", 5, 2) + bytes([0]) + struct.pack("<Ii", 0x10000001, 0) +
          bytes([0]) + struct.pack("<Ii", 0x10000001, 0))


def udl():
    write("udl", "example", read("examples/isoDB.udl"))
    write("udl", "postgres", read("examples/postgres/isoDB.udl"))
    write("udl", "utf8", "[oledb]\n; Everything after this line is an OLE DB initstring\n"
          "Provider=SQLite;Data Source=lexicon.sqlite\n")
    write("udl", "no-init-string", b"\xff\xfe" + "[oledb]\r\n".encode("utf-16-le"))


def connstr():
    for i, text in enumerate([
            "Provider=SQLite;Data Source=/data/lexicon.sqlite",
            "Provider=MSDASQL.1;Extended Properties=\"Driver={PostgreSQL Unicode};Server=127.0.0.1;Uid=postgres;Pwd=;\"",
            "Provider=SQLOLEDB.1;Password='it''s';Persist Security Info=True;User ID=sa;Initial Catalog=iso;Data Source=srv",
            "File Name=C:\\data\\isoDB.udl",
            "a==b=1; key = ' spaced ' ;Driver={a}}b};empty=;",
            "Data Source==leading-equals"]):
        write("connstr", "string-%d" % i, text)


def criteria():
    for i, text in enumerate([b"\x00Name = 'Smith' OR ID > 2", b"\x00(ID >= 1 AND Price < 100) OR Name LIKE 'Sm*'",
                              b"\x00When > #1/1/2000# AND Flag = True", b"\x00[Last Name] <> NULL",
                              b"\x01Amount >= $50.00", b"\x01Name LIKE '*mit*'", b"\x02Name DESC, ID",
                              b"\x02[Last Name] ASC, When DESC, Price"]):
        write("criteria", "text-%d" % i, text)


def persist_xml():
    reference = read("tests/platform/ado/util/PersistXmlTest.cpp").decode("utf-8")
    start = reference.index('R"(<xml') + 3
    write("persist_xml", "reference", b"\x00" + reference[start:reference.index(')"', start)].encode("utf-8"))
    rng = random.Random(1)
    for i in range(4):
        write("persist_xml", "built-%d" % i, b"\x01" + bytes(rng.randrange(256) for _ in range(96)))


def bitmap():
    def bmp(width, height, bits, colours):
        row = ((width * bits + 31) // 32) * 4
        pixels = bytes(row * abs(height))
        offset = 14 + 40 + 4 * colours
        info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(pixels), 2835, 2835, colours, 0)
        return b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + info + bytes(4 * colours) + pixels
    write("bitmap", "24bit", bmp(2, 2, 24, 0))
    write("bitmap", "8bit-palette", bmp(3, -2, 8, 256))
    write("bitmap", "1bit", bmp(9, 3, 1, 2))


def samples():
    # Curve pairs as text (format in corpus/samples/README.txt): random curves of a few shapes.
    rng = random.Random(5)
    for i in range(6):
        text = []
        for name, base in (("nodes1", 0.0), ("nodes2", 2.0)):
            text.append(name)
            x = rng.choice([0.0, -3.0, 1e8])
            for _ in range(rng.randrange(2, 12)):
                x += rng.choice([0.0, 0.5, 1.0, rng.random()])
                text.append("%r %r %d" % (x, base + rng.uniform(-1, 1), rng.randrange(3)))
        write("samples", "curves-%d" % i, "\n".join(text) + "\n")


def maps():
    section = read("examples/section.geojson")
    stratum = ('{"type": "FeatureCollection", "map": {"scale": 1000}, "features": ['
               '{"type": "Feature", "id": 6, "properties": {"entityType": 27, "deleted": false, "code": "J2",'
               ' "scale": 1000, "samples": [[0, 40, 0, 12, 0, 0, 1], [100, 36, 0, 14, 0, 0, 1]]},'
               ' "geometry": null}]}')
    for target in ("geojson", "svg"):
        write(target, "section", section)
        write(target, "stratum", stratum)


def script():
    write("script", "build-stratum", read("examples/build-stratum.txt"))
    write("script", "escape-and-retry", "launch dsi\npick 1\nkey esc\nlaunch dsi\npick 2 1\ndialog connect\n"
          "dialog dblclick 3\ntext n\n")
    write("script", "foreign-state", "state 9 0x7FFFFFFF\nlaunch dsi\ntext\n")


def stream_text():
    # First byte: charset (mod 7: Unicode, unicodeFFFE, utf-8, gb2312, GBK, us-ascii, iso-8859-1),
    # then the line separator ((b / 8) % 3: CRLF, LF, CR) and the chunk size (1 + b / 32).
    def pick(charset, separator=0, chunk=1):
        return bytes([charset + 8 * separator + 32 * (chunk - 1)])
    write("stream_text", "unicode-lines", pick(0) + b"\xff\xfe" + "中文\r\nline 2".encode("utf-16-le"))
    write("stream_text", "unicode-odd-byte", pick(0, 1, 2) + b"\xff\xfea\x00b")
    write("stream_text", "unicode-big-endian", pick(1, 0, 3) + b"\xfe\xff" + "地层\r\n".encode("utf-16-be"))
    write("stream_text", "utf8-lines", pick(2, 1) + b"\xef\xbb\xbf" + "地层\nJ2\n😀".encode("utf-8"))
    write("stream_text", "utf8-invalid", pick(2) + b"\xc0\x80\xed\xa0\x80ok\xe4\xb8")
    write("stream_text", "gb2312-lines", pick(3, 2, 3) + "中侏罗统\r寒武系\r".encode("gbk"))
    write("stream_text", "gbk-invalid", pick(4) + b"\x81\x7f\x81\x30\xff\xd6")
    write("stream_text", "ascii", pick(5) + b"plain\r\ntext\x80")
    write("stream_text", "latin1", pick(6, 2) + "café\r\n".encode("latin-1"))


for make in (gbk, variant_change, safearray, udl, connstr, criteria, persist_xml, stream_text, bitmap, samples, maps,
             script):
    make()
