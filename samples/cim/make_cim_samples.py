#!/usr/bin/env python3
"""Writes the CIM message file and filing cabinet samples below samples/cim/.

  wincim/   "WinCIM": forum messages of two forums (record type 2) in threads
            and sections, mail in both directions with several recipients
            (record type 1), a damaged (truncated) file and a file that is
            no CIM file at all; texts in Windows-1252.
  doscim/   "DOSCIM": the same kinds of records with code page 850 texts.
  csnav/    "CSNav": forum messages of the second layout (record type 3).
  cabinet/  "CompuServe 3.x": FCABINET.DAT with forum messages and mail of
            several recipients, a record too short to be queued, and
            DAMAGED.DAT without the "FCAB" signature.

The mailbox owner is Wilma Thornbury (74321,1234), the CompuServe owner of
the demo's second mail database. All names are invented.

Run from anywhere: python3 samples/cim/make_cim_samples.py
For a speed test: python3 samples/cim/make_cim_samples.py --large DIR N
writes N CIM message files and a filing cabinet of N records into DIR.
"""

import os
import shutil
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))

OWNER = ("Wilma Thornbury", "74321,1234")


def counted(s, enc):
    b = s.encode(enc) if isinstance(s, str) else s
    return bytes([len(b)]) + b


def packed_date(y, m, d):
    return bytes([d, m, y - 1970])


def stamped_date(y, m, d):
    return b"\0\0\0\0" + packed_date(y, m, d)


def recipient(name, address, enc):
    return counted(name, enc) + counted(address, enc) + b"\0" * 4


def header(record_type, header_length=5):
    return b"VIS000\x1a" + struct.pack("<H", header_length) + bytes([record_type]) + b"\0" * (header_length - 1)


def forum_record(m, enc):
    """Record type 2: header, a sized block with date, subject, sender and
    recipient, then numbers, section, forum and the text."""
    block = stamped_date(*m["date"]) + b"\0" * 6
    block += counted(m["subject"], enc) + counted(m["from"][0], enc) + counted(m["from"][1], enc)
    block += b"\0" + b"\0" + counted(m["to"][0], enc) + counted(m["to"][1], enc) + b"\0" * 4
    block += b"\0" * 7  # the rest of the block, unused
    text = m["text"].encode(enc)
    out = header(2) + struct.pack("<H", len(block)) + block
    out += b"\0\0" + struct.pack("<II", m["number"], m["parent"]) + b"\0" * 8 + b"\0\0"
    out += bytes([m["section"][0]]) + counted(m["section"][1], enc) + counted("CIS:" + m["forum"], enc)
    out += b"\0" + struct.pack("<II", 0, len(text)) + b"\0" + bytes([3]) + b"abc"
    return out + text


def forum2_record(m, enc):
    """Record type 3: forum and section first, then subject, numbers, date,
    sender and recipient, and the text with a 16-bit length."""
    text = m["text"].encode(enc)
    out = header(3) + b"\0\0\0" + bytes([m["section"][0]]) + counted("CIS:" + m["forum"], enc)
    out += struct.pack("<I", 7) + counted(m["section"][1], enc) + b"\0" + bytes([2]) + b"xy"
    out += struct.pack("<H", 0) + counted(m["subject"], enc) + b"\0" * 4
    out += b"\0\0" + struct.pack("<II", m["number"], m["parent"]) + b"\0" * 8 + b"\0"
    out += stamped_date(*m["date"]) + b"\0" * 6
    out += counted(m["from"][0], enc) + counted(m["from"][1], enc)
    out += counted(m["to"][0], enc) + counted(m["to"][1], enc) + b"\0"
    return out + struct.pack("<H", len(text)) + text


def mail_record(m, enc):
    """Record type 1: mail with its recipient lists; the rest of the file is
    the text."""
    out = header(1)[:10]  # the mail layout reads on right after the type byte
    out += b"\0" * 16 + counted("folder", enc) + counted("", enc) + counted("", enc) + counted("", enc)
    out += struct.pack("<H", 0)
    h, mi, s = m["time"]
    out += bytes([s, mi, h]) + packed_date(*m["date"]) + b"\0" * 6
    out += counted(m["subject"], enc) + counted(m["from"][0], enc) + counted(m["from"][1], enc)
    to, cc, bc = m.get("to", []), m.get("cc", []), m.get("bc", [])
    out += b"\0" + bytes([len(to)]) + b"".join(recipient(n, a, enc) for n, a in to)
    out += b"\0\0" + struct.pack("<H", 0)  # no further direct recipients
    out += struct.pack("<H", 0) + b"\0" + bytes([0])  # 0: the recipient block goes on
    out += bytes([len(cc)]) + b"".join(recipient(n, a, enc) for n, a in cc)
    out += b"\0" + bytes([0])  # no blind copies in the first list
    out += counted("", enc) + b"\0" * 17 + counted("", enc) + b"\0"
    out += bytes([1]) + b"\0" + struct.pack("<I", 0) + counted("x", enc) + counted("y", enc) + b"\0" + b"\0" + b"\0" * 4 + counted("z", enc)
    out += b"\0" + struct.pack("<H", 0)  # no further carbon copies
    out += struct.pack("<H", len(bc)) + b"".join(recipient(n, a, enc) for n, a in bc)
    return out + m["text"].encode(enc)


GRETA = ("Greta Lindqvist", "72345.1012")  # stored with a dot
HAROLD = ("Harold Pennyworth", "[71234,567]")
AMELIE = ("Amélie Fournier", "INTERNET:amelie@example.fr")
SVEN = ("\"Sven Åkesson\"", "75432, 210")
ALL = ("All", "")


def forum_messages(forum, base):
    return [
        dict(forum=forum, number=base + 1, parent=0, section=(3, "Telescopes"), date=(1995, 3, 13),
             subject="Choosing a first telescope", **{"from": GRETA}, to=ALL,
             text="@lI am thinking of a small refractor.  \nWhich mount would you suggest?\n\nGreta\n"),
        dict(forum=forum, number=base + 2, parent=base + 1, section=(3, "Telescopes"), date=(1995, 3, 14),
             subject="Choosing a first telescope", **{"from": HAROLD}, to=GRETA,
             text="An alt-az mount is simplest.@b\nA Dobsonian gives the most aperture per pound.@b\n@b\n"),
        dict(forum=forum, number=base + 3, parent=base + 2, section=(3, "Telescopes"), date=(1995, 3, 15),
             subject="Choosing a first telescope", **{"from": SVEN}, to=HAROLD,
             text="Agreed.@b\nSee the café by the observatory: they rent them for a small fee.@b\n"),
        dict(forum=forum, number=base + 10, parent=0, section=(5, "Eyepieces"), date=(1995, 4, 2),
             subject="Plössl or orthoscopic?", **{"from": AMELIE}, to=ALL,
             text="@lWhich gives the wider field?\nMerci d'avance.\n"),
    ]


def mails(shift=0):
    """The mail set; `shift` hours later for each further format, so that the
    formats' mails do not repeat each other in the demo's mail database."""
    return [
        dict(date=(1995, 5, 3), time=(9 + shift, 5, 30), subject="Copy of: Star party in June",
             **{"from": ("Greta Lindqvist", "INTERNET:greta@example.se")},
             to=[("Wilma Thornbury", "74321.1234"), ("Harold Pennyworth", "71234,567")],
             cc=[("Amélie Fournier", "INTERNET:amelie@example.fr")],
             text="The star party is on the 21st.@b\nBring warm clothes.@b\n"),
        dict(date=(1995, 5, 4), time=(18 + shift, 40, 0), subject="Re: Star party in June", **{"from": OWNER},
             to=[("Greta Lindqvist", "INTERNET:greta@example.se")],
             cc=[("Harold Pennyworth", "71234,567")], bc=[("Sven Åkesson", "75432,210")],
             text="@lI will come, with the 80 mm refractor.\nWilma\n"),
        dict(date=(1995, 6, 1), time=(7 + shift, 0, 0), subject="Club dues", **{"from": ("Harold Pennyworth", "71234.567")},
             to=[], text="Dues for the year are due.\n"),
    ]


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def cim_samples(folder, forum, base, enc, layout, shift):
    d = os.path.join(HERE, folder)
    shutil.rmtree(d, ignore_errors=True)
    msgs = forum_messages(forum, base)
    for i, m in enumerate(msgs):
        write(os.path.join(d, "%s%02d.THD" % (forum[:6], i + 1)), layout(m, enc))
    for i, m in enumerate(mails(shift)):
        write(os.path.join(d, "MAIL%02d.MSG" % (i + 1)), mail_record(m, enc))
    # A file cut short inside its record and a file of another program.
    whole = layout(msgs[0], enc)
    write(os.path.join(d, "DAMAGED.THD"), whole[: len(whole) // 2])
    write(os.path.join(d, "README.PLX"), b"This is a plain text note, not a CIM file.\r\n")


# ---- the filing cabinet ------------------------------------------------------

MARKER = b"~CS~FCR~"


def stamp(y, mo, d, h, mi, s):
    return struct.pack("<I", ((y - 1970) << 25) | (mo << 21) | (d << 16) | (h << 11) | (mi << 5) | (s // 2))


def cabinet_fixed(kind, when, subject, sender, section, forum, enc):
    out = MARKER + b"\0\0" + b"\0" + b"\0" + b"F" * 32 + b"\0" * 31 + b"\0" * 52 + b"\0" * 9
    out += bytes([kind]) + b"\0" * 4 + stamp(*when) + b"\0" * 4
    out += counted(subject, enc) + counted(sender[0], enc) + counted(sender[1], enc)
    out += counted(section, enc) + counted(forum, enc) + counted("a", enc) + counted("b", enc)
    return out


def cabinet_forum(m, enc):
    text = m["text"].encode(enc)
    out = cabinet_fixed(2, m["when"], m["subject"], m["from"], m["section"][1], "CIS:" + m["forum"], enc)
    out += b"\0\0" + counted("", enc) + bytes([m["section"][0]]) + b"\0" * 4
    out += counted(m["to"][0], enc) + counted(m["to"][1], enc) + b"\0" * 4
    out += struct.pack("<II", m["number"], m["parent"]) + b"\0" * 10
    return out + struct.pack("<I", len(text)) + text


def cabinet_entry(code, name, address, enc):
    return bytes([code]) + struct.pack("<I", 0) + counted(name, enc) + counted(address, enc)


def cabinet_mail(m, enc):
    text = m["text"].encode(enc)
    out = cabinet_fixed(9, m["when"], m["subject"], m["from"], "", "", enc)
    first, further = m["recipients"][:1], m["recipients"][1:]
    out += b"\0\0" + counted("", enc) + bytes([len(first)]) + b"".join(cabinet_entry(c, n, a, enc) for c, n, a in first)
    out += counted("", enc) + b"\0" * 12 + counted("", enc) + counted("", enc) + b"\0" * 3
    out += bytes([len(further)]) + b"".join(cabinet_entry(c, n, a, enc) for c, n, a in further)
    return out + struct.pack("<I", len(text)) + text


def cabinet_records():
    recs = []
    for i, m in enumerate(forum_messages("ASTROFORUM", 940000)):
        y, mo, d = m["date"]
        m = dict(m, when=(y, mo, d, 20, 15 + i, 42))
        recs.append(cabinet_forum(m, "cp1252"))
    recs.append(cabinet_mail(dict(
        when=(1998, 2, 11, 10, 30, 0), subject="Copy of: Eclipse trip",
        **{"from": ("Greta Lindqvist", "INTERNET:greta@example.se")},
        recipients=[(1, "Wilma Thornbury", "74321,1234"), (1, "Harold Pennyworth", "71234,567"),
                    (2, "Amélie Fournier", "INTERNET:amelie@example.fr")],
        text="The bus leaves at six.@b\nBring the filters.@b\n"), "cp1252"))
    recs.append(cabinet_mail(dict(
        when=(1998, 2, 12, 8, 0, 0), subject="Re: Eclipse trip", **{"from": ("", "")},
        recipients=[(1, "Greta Lindqvist", "INTERNET:greta@example.se"), (2, "Sven Åkesson", "75432,210")],
        text="@lCount me in.\nWilma\n"), "cp1252"))
    return recs


def cabinet_file(records):
    return b"FCAB" + b"\0" * 60 + b"".join(records) + MARKER + b"\0" * 40  # a short record at the end


def cabinet_samples():
    d = os.path.join(HERE, "cabinet")
    shutil.rmtree(d, ignore_errors=True)
    write(os.path.join(d, "FCABINET.DAT"), cabinet_file(cabinet_records()))
    write(os.path.join(d, "DAMAGED.DAT"), b"FCAX" + cabinet_file(cabinet_records())[4:200])


def large(directory, n):
    os.makedirs(directory, exist_ok=True)
    cims = os.path.join(directory, "cim")
    os.makedirs(cims, exist_ok=True)
    base = forum_messages("SPEEDTEST", 0)
    for i in range(n):
        m = dict(base[i % len(base)], number=i + 1, parent=i if i % 4 else 0)
        with open(os.path.join(cims, "M%06d.THD" % i), "wb") as f:
            f.write(forum_record(m, "cp1252"))
    recs = []
    for i in range(n):
        m = dict(base[i % len(base)], number=i + 1, parent=i if i % 4 else 0, when=(1997, 1 + i % 12, 1 + i % 28, 12, 0, 0))
        recs.append(cabinet_forum(m, "cp1252"))
    with open(os.path.join(directory, "FCABINET.DAT"), "wb") as f:
        f.write(cabinet_file(recs))


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "--large":
        large(sys.argv[2], int(sys.argv[3]))
        return
    cim_samples("wincim", "STARGAZE", 990000, "cp1252", forum_record, 0)
    cim_samples("doscim", "HOMEBREW", 920000, "cp850", forum_record, 1)
    cim_samples("csnav", "NOTES", 930000, "cp1252", forum2_record, 2)
    cabinet_samples()


if __name__ == "__main__":
    main()
