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
ILSE = ("Ilse Brandt", "76002.77")
TOBIAS = ("Tobias Wren", "[70001,234]")
TOMAS = ("\"Tomás Brandt\"", "77777, 123")
DANA = ("Dana Whitlock", "INTERNET:dana@example.org")
MARTA = ("Marta Oyelaran", "76110.45")
JONAS = ("Jonas Kettering", "[75020,331]")
OSKAR = ("Oskar Feldmann", "76543.210")
ALL = ("All", "")

# Each forum's own messages, in the same four roles so that every layout
# shows the same features: a thread root with a dotted address and an "@l"
# text with blanks before a line end, a reply from a bracketed address with
# "@b" paragraphs, a third message from a quoted name with a blank in its
# address and a non-ASCII word, and a message of another section with a
# non-ASCII subject from an Internet address.
#   (offset, parent offset, section, date, subject, sender, recipient, text)
FORUM_THREADS = {
    "STARGAZE": [
        (1, 0, (4, "Observing"), (1996, 1, 14), "Charts for variable stars", GRETA, ALL,
         "@lWhere do you get charts for variable stars?  \nThe ones in my atlas are too coarse.\n\nGreta\n"),
        (2, 1, (4, "Observing"), (1996, 1, 15), "Charts for variable stars", HAROLD, GRETA,
         "The association sends them for a stamped envelope.@b\nAsk for the ones with the comparison stars marked.@b\n@b\n"),
        (3, 2, (4, "Observing"), (1996, 1, 17), "Charts for variable stars", SVEN, HAROLD,
         "I copy mine at the café next to the library.@b\nTheir copier keeps the faint stars.@b\n"),
        (10, 0, (6, "Eyepieces"), (1996, 2, 3), "Plössl or orthoscopic?", AMELIE, ALL,
         "@lWhich gives the wider field?\nMerci d'avance.\n"),
    ],
    "HOMEBREW": [
        (1, 0, (3, "Hops"), (1995, 5, 8), "Hops for a pale ale", ILSE, ALL,
         "@lWhich hops do you use for a pale ale?  \nThe shop here sells only two kinds.\n\nIlse\n"),
        (2, 1, (3, "Hops"), (1995, 5, 9), "Hops for a pale ale", TOBIAS, ILSE,
         "Cascade if you can get it.@b\nOtherwise any hop that smells of citrus.@b\n@b\n"),
        (3, 2, (3, "Hops"), (1995, 5, 11), "Hops for a pale ale", TOMAS, TOBIAS,
         "The shop in the Königstraße orders them for you.@b\nAllow two weeks.@b\n"),
        (10, 0, (5, "Cider"), (1995, 10, 2), "Cider from Gravensteiner Äpfel", DANA, ALL,
         "@lDoes anyone press their own apples?\nThe mill in our village has closed.\n"),
    ],
    "NOTES": [
        (1, 0, (1, "Club news"), (1997, 4, 2), "Open night at the observatory", MARTA, ALL,
         "@lThe observatory is open to the public on the 19th.  \nWho can help with the visitors?\n\nMarta\n"),
        (2, 1, (1, "Club news"), (1997, 4, 3), "Open night at the observatory", JONAS, MARTA,
         "I can take the first shift.@b\nI will bring the red torches.@b\n@b\n"),
        (3, 2, (1, "Club news"), (1997, 4, 4), "Open night at the observatory", SVEN, JONAS,
         "I take the second shift and the crêpes stall.@b\nSomeone has to.@b\n"),
        (10, 0, (2, "Lectures"), (1997, 4, 20), "Hale-Bopp lecture in Besançon", AMELIE, ALL,
         "@lThe observatory of Besançon gives a lecture on the comet.\nWho wants to share a car?\n"),
    ],
    "ASTROFORUM": [
        (1, 0, (2, "Star charts"), (1998, 1, 10), "Planisphere for the southern sky", OSKAR, ALL,
         "@lI travel to Namibia in March.  \nWhich planisphere shows the southern sky?\n\nOskar\n"),
        (2, 1, (2, "Star charts"), (1998, 1, 11), "Planisphere for the southern sky", ("Greta Lindqvist", "[72345,1012]"),
         OSKAR, "Any shop sells one for 30 degrees south.@b\nTake a red torch as well.@b\n@b\n"),
        (3, 2, (2, "Star charts"), (1998, 1, 13), "Planisphere for the southern sky", TOMAS, GRETA,
         "Down there the Milky Way casts shadows. ¡Buen viaje!@b\nSend us a postcard.@b\n"),
        (10, 0, (8, "Software"), (1998, 1, 24), "Planetarium program für Windows 95", DANA, ALL,
         "@lWhich planetarium program runs well on a 486?\nMine takes a minute to draw the sky.\n"),
    ],
}


def forum_messages(forum, base, threads=None):
    """The messages of `forum` (its own set, or `threads`' set under this
    forum's name), numbered from `base`."""
    return [
        dict(forum=forum, number=base + n, parent=base + p if p else 0, section=section, date=date,
             subject=subject, **{"from": sender}, to=to, text=text)
        for n, p, section, date, subject, sender, to, text in FORUM_THREADS[threads or forum]
    ]


OWNER_DOTTED = ("Wilma Thornbury", "74321.1234")

# Each format's own mail, in the same three roles: received with two direct
# recipients (the owner's address stored with a dot) and a carbon copy,
# "Copy of:" before the subject and "@b" paragraphs; the owner's answer with
# a direct recipient, a carbon copy and a blind copy and an "@l" text; a
# mail without recipients.
MAILS = {
    "wincim": [
        dict(date=(1995, 5, 3), time=(9, 5, 30), subject="Copy of: Star party in June",
             **{"from": ("Greta Lindqvist", "INTERNET:greta@example.se")},
             to=[OWNER_DOTTED, ("Harold Pennyworth", "71234,567")],
             cc=[("Amélie Fournier", "INTERNET:amelie@example.fr")],
             text="The star party is on the 21st.@b\nBring warm clothes.@b\n"),
        dict(date=(1995, 5, 4), time=(18, 40, 0), subject="Re: Star party in June", **{"from": OWNER},
             to=[("Greta Lindqvist", "INTERNET:greta@example.se")],
             cc=[("Harold Pennyworth", "71234,567")], bc=[("Sven Åkesson", "75432,210")],
             text="@lI will come, with the 80 mm refractor.\nWilma\n"),
        dict(date=(1995, 6, 1), time=(7, 0, 0), subject="Club dues", **{"from": ("Harold Pennyworth", "71234.567")},
             to=[], text="Dues for the year are due.\n"),
    ],
    "doscim": [
        dict(date=(1996, 3, 9), time=(21, 10, 5), subject="Copy of: Messier marathon",
             **{"from": ("Amélie Fournier", "INTERNET:amelie@example.fr")},
             to=[OWNER_DOTTED, ("Sven Åkesson", "75432,210")],
             cc=[("Greta Lindqvist", "INTERNET:greta@example.se")],
             text="We try all the Messier objects on the night of the 23rd.@b\nThe château has a dark field behind it.@b\n"),
        dict(date=(1996, 3, 10), time=(8, 25, 0), subject="Re: Messier marathon", **{"from": OWNER},
             to=[("Amélie Fournier", "INTERNET:amelie@example.fr")],
             cc=[("Sven Åkesson", "75432,210")], bc=[("Harold Pennyworth", "71234,567")],
             text="@lI will try, but I doubt I find M30 before dawn.\nWilma\n"),
        dict(date=(1996, 4, 2), time=(12, 30, 0), subject="Loan telescope returned",
             **{"from": ("Greta Lindqvist", "72345.1012")}, to=[],
             text="The club's loan telescope is back on its shelf.\n"),
    ],
    "csnav": [
        dict(date=(1997, 4, 6), time=(19, 45, 10), subject="Copy of: Hale-Bopp photographs",
             **{"from": ("Jonas Kettering", "INTERNET:jonas@example.de")},
             to=[OWNER_DOTTED, ("Marta Oyelaran", "76110,45")],
             cc=[("Oskar Feldmann", "76543,210")],
             text="My pictures of the comet are back from the lab.@b\nThe blue tail shows on every frame.@b\n"),
        dict(date=(1997, 4, 7), time=(7, 15, 0), subject="Re: Hale-Bopp photographs", **{"from": OWNER},
             to=[("Jonas Kettering", "INTERNET:jonas@example.de")],
             cc=[("Marta Oyelaran", "76110,45")], bc=[("Greta Lindqvist", "72345,1012")],
             text="@lPlease bring them to the open night.\nWilma\n"),
        dict(date=(1997, 4, 20), time=(16, 0, 0), subject="Swap meet in May",
             **{"from": ("Oskar Feldmann", "76543.210")}, to=[],
             text="Bring what you no longer use: eyepieces, books, filters.\n"),
    ],
}


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def cim_samples(folder, forum, base, enc, layout):
    d = os.path.join(HERE, folder)
    shutil.rmtree(d, ignore_errors=True)
    msgs = forum_messages(forum, base)
    for i, m in enumerate(msgs):
        write(os.path.join(d, "%s%02d.THD" % (forum[:6], i + 1)), layout(m, enc))
    for i, m in enumerate(MAILS[folder]):
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
    base = forum_messages("SPEEDTEST", 0, "STARGAZE")
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
    cim_samples("wincim", "STARGAZE", 990000, "cp1252", forum_record)
    cim_samples("doscim", "HOMEBREW", 920000, "cp850", forum_record)
    cim_samples("csnav", "NOTES", 930000, "cp1252", forum2_record)
    cabinet_samples()


if __name__ == "__main__":
    main()
