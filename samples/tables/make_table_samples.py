#!/usr/bin/env python3
"""Writes the dBase table samples below samples/tables/ with Python's `dbf`
module (Debian package python3-dbf), an independent dBase writer.

  navcis16/      "NavCIS 1.6x": RECV.DBF with a dBase III memo file (.DBT),
                 code page 437: forum messages in threads of two forums,
                 mail in both directions, a mail with HRE:INTERNAL 0 but a
                 forum name, numbers 0 and 9000000, the time forms of
                 HRE:MSG_TIME; DAMAGED.DBF is a copy cut inside a record.
  navcis17/      "NavCIS 1.7x": HRECV.DBF with a FoxPro memo file (.FPT),
                 Windows code page.
  ciscomm/forum/ "CISCOMM" forum table (code page 850, .DBT of dBase III).
  ciscomm/mail/  "CISCOMM" mail table: written as dBase III, then turned into
                 a dBase IV table with a dBase IV memo file (hand-built blocks
                 "FF FF 08 00" + length) by to_dbase4() below.
  oui/           "OUI": MESSAGE.DBF (.FPT) with mail and news articles whose
                 Internet header lines are in OUI:MSG_EXTRA.

The mailbox owner is Wilma Thornbury (74321,1234). All names are invented.

Run from anywhere: python3 samples/tables/make_table_samples.py
  --fixture DIR   writes the tables of the reader test into DIR, with
                  expect.txt: every value as python-dbf reads it back
  --large DIR N   writes an N-record NavCIS table for a speed test
"""

import datetime
import os
import shutil
import struct
import sys
import warnings

warnings.simplefilter("ignore")
import dbf  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))

NAVCIS_FIELDS = (
    "IS_MAIL L; FORUM_NAME C(20); INTERNAL N(8,0); SEC_NUMBER N(3,0); SEC_NAME C(20); SUBJECT C(60); "
    "SEND_ID C(60); FROMNET N(2,0); SEND_NAME C(40); RECV_ID C(60); RECV_NAME C(40); MSG_NUMBER N(8,0); "
    "MSG_PARENT N(8,0); RECEIVED L; IS_PRIVATE L; REPLIED L; SAVED L; REPLIES N(4,0); RECEIPT L; BINARY L; "
    "DL L; BFILENAME C(12); KEEP L; IS_DELETE L; MSG_DATE C(9); MSG_TIME C(10); TIME_ZONE C(5); MSG_TEXT M; "
    "IS_NAVCIS L; NAV_CODES M; SESSION N(8,0); REC_DATE D; REC_TIME C(8); GROUP_CNT N(4,0); GROUP_LIST M"
)

CCO_FIELDS = (
    "MSG_NUMBER C(10); MSG_DATE D; MSG_TIME C(5); MSG_SUBJEC C(24); MSG_SENDER C(25); MSG_SENDID C(11); "
    "MSG_RECVR C(25); MSG_RECVID C(11); MSG_PARENT C(10); MSG_NXTSIB N(10,0); MSG_FSTCHD N(10,0); "
    "MSG_THRDID N(10,0); MSG_SECTNO C(2); MSG_SECT C(20); MSG_TEXT M; MSG_FLAGS C(4); MSG_SEQ N(10,0); "
    "MSG_ISFROM L; MSG_ISTO L; MSG_TAGGED L; MSG_MARKED L; MSG_UNREAD L; MSG_ISROOT L"
)

CMA_FIELDS = (
    "MSG_NUMBER C(10); MSG_DATE D; MSG_TIME C(5); MSG_SUBJEC C(40); MSG_SENDER C(25); MSG_SENDID M; "
    "MSG_RECVR C(25); MSG_RECVID M; MSG_PARENT C(10); MSG_TEXT M; MSG_FLAGS C(4); MSG_SEQ N(10,0); "
    "MSG_ISFROM L; MSG_ISTO L; MSG_TAGGED L; MSG_MARKED L; MSG_UNREAD L"
)

OUI_FIELDS = (
    "IDENTIFIER C(10); INSTANCE N(4,0); READ C(1); MSG_NUMBER C(40); MSG_PARENT C(40); ID_TOPMOST C(40); "
    "SECT_NUMB N(10,0); SECT_NAME C(20); SUBJECT C(80); SESSION N(8,0); REPLIES C(1); PARENT C(1); "
    "REPLY_NUM N(4,0); KEEP C(1); DELETE C(1); MSG_DATE D; MSG_TIME C(14); MSG_ZONE C(5); RECV_DATE D; "
    "RECV_TIME C(14); STATUS N(10,0); NETWORK C(10); EXTRA N(10,0); RECV_ID M; SEND_ID M; MSG_BODY M; "
    "MSG_EXTRA M; MSG_ATTACH M"
)


def write_table(path, fields, kind, codepage, rows, upper=True):
    """Writes `rows` (dicts of field values, missing fields empty) into a new
    table; returns the table's path."""
    base = os.path.splitext(path)[0]
    t = dbf.Table(base, fields, dbf_type=kind, codepage=codepage)
    t.open(dbf.READ_WRITE)
    names = t.field_names
    for r in rows:
        t.append({k.lower(): v for k, v in r.items() if k.lower() in names})
    t.close()
    if not upper:
        return base
    return upper_case(base)


def upper_case(base):
    """python-dbf names its files with lower case extensions; the readers'
    own files are in upper case."""
    for ext in (".dbf", ".dbt", ".fpt"):
        if os.path.exists(base + ext):
            os.replace(base + ext, base + ext.upper())
    return base + ".DBF"


def to_dbase4(dbf_path):
    """Turns a dBase III table with a .DBT into a dBase IV one: version byte
    0x8B and memo blocks that start with FF FF 08 00 and their length."""
    base = os.path.splitext(dbf_path)[0]
    data = bytearray(open(dbf_path, "rb").read())
    memo3 = open(base + ".DBT", "rb").read()
    count, header_len, record_len = struct.unpack("<IHH", data[4:12])
    fields, at, offset = [], 32, 1
    while data[at] != 0x0D:
        ftype, flen = chr(data[at + 11]), data[at + 16]
        fields.append((ftype, offset, flen))
        offset += flen
        at += 32
    block_size = 512
    out = bytearray(block_size)
    struct.pack_into("<I", out, 0, 1)
    struct.pack_into("<H", out, 20, block_size)
    for i in range(count):
        rec = header_len + i * record_len
        for ftype, off, flen in fields:
            if ftype != "M":
                continue
            raw = data[rec + off: rec + off + flen].strip()
            if not raw or int(raw) == 0:
                continue
            start = int(raw) * 512
            end = memo3.find(b"\x1a", start)
            text = memo3[start:end]
            block = len(out) // block_size
            chunk = b"\xff\xff\x08\x00" + struct.pack("<I", len(text) + 8) + text
            chunk += b"\0" * (-len(chunk) % block_size)
            out += chunk
            data[rec + off: rec + off + flen] = ("%*d" % (flen, block)).encode()
    struct.pack_into("<I", out, 0, len(out) // block_size)
    data[0] = 0x8B
    open(dbf_path, "wb").write(data)
    open(base + ".DBT", "wb").write(out)


def damaged_copy(dbf_path, name):
    """A copy cut in the middle of its third record, memo file beside it."""
    d = os.path.dirname(dbf_path)
    data = open(dbf_path, "rb").read()
    header_len, record_len = struct.unpack("<HH", data[8:12])
    open(os.path.join(d, name + ".DBF"), "wb").write(data[: header_len + 2 * record_len + record_len // 2])
    for ext in (".DBT", ".FPT"):
        memo = os.path.splitext(dbf_path)[0] + ext
        if os.path.exists(memo):
            shutil.copy(memo, os.path.join(d, name + ext))


# ---- the messages ----------------------------------------------------------------

OWNER_ID = "74321,1234"


def skipped_rows(forum, date):
    """Two forum messages every NavCIS table carries: number 0 and a number
    the reader gives its own messages; both are skipped."""
    return [
        dict(FORUM_NAME=forum, INTERNAL=9, SUBJECT="Number zero", SEND_ID="75432,210", MSG_NUMBER=0,
             MSG_DATE=date, MSG_TEXT="A message without a number is skipped.\n"),
        dict(FORUM_NAME=forum, INTERNAL=9, SUBJECT="Reader's own number", SEND_ID="75432,210",
             MSG_NUMBER=9000000, MSG_DATE=date, MSG_TEXT="Skipped too.\n"),
    ]


def navcis16_rows(base=950000):
    """NavCIS 1.6x: a thread in one forum (a time-less root; a reply whose
    sender identifier ends in CR LF, kept), a message with a non-ASCII
    subject and section in another forum, the two skipped numbers, and mail:
    received (HRE:INTERNAL 0 with a forum name filled in, time "9:05"),
    sent (time with seconds), and a deleted one whose time is unreadable."""
    return [
        dict(FORUM_NAME="stargaze", INTERNAL=7, SEC_NUMBER=2, SEC_NAME="Telescopes", SUBJECT="Mirror cleaning",
             SEND_ID="72345.1012", SEND_NAME="Greta Lindqvist", RECV_ID="All", RECV_NAME="All", MSG_NUMBER=base + 1,
             MSG_PARENT=0, MSG_DATE="02-Aug-96", MSG_TIME="21:10", REC_DATE=datetime.date(1996, 8, 2),
             MSG_TEXT="How often do you clean the mirror?\nMine looks dusty.\n"),
        dict(FORUM_NAME="stargaze", INTERNAL=7, SEC_NUMBER=2, SEC_NAME="Telescopes", SUBJECT="Mirror cleaning",
             SEND_ID="71234,567\r\n", SEND_NAME="Harold Pennyworth", RECV_ID="72345,1012", RECV_NAME="Greta Lindqvist",
             MSG_NUMBER=base + 2, MSG_PARENT=base + 1, MSG_DATE="03-Aug-96", KEEP=True,
             MSG_TEXT="Hardly ever: dust does little harm.\r\nA clean mirror is a scratched mirror.\r\n"),
        dict(FORUM_NAME="homebrew", INTERNAL=9, SEC_NUMBER=2, SEC_NAME="Matériel", SUBJECT="Ölflaschen",
             SEND_ID="75432,210", SEND_NAME="Sven Åkesson", RECV_ID="All", RECV_NAME="All", MSG_NUMBER=base + 101,
             MSG_DATE="05-Sep-96", MSG_TEXT="Brown bottles keep the beer better.\n"),
    ] + skipped_rows("homebrew", "05-Sep-96") + [
        dict(FORUM_NAME="stargaze", INTERNAL=0, SUBJECT="Telescope for sale", SEND_ID="INTERNET:greta@example.se",
             SEND_NAME="Greta Lindqvist", RECV_ID=OWNER_ID, RECV_NAME="Wilma Thornbury", MSG_DATE="10-Aug-96",
             MSG_TIME="9:05", MSG_TEXT="My old 60 mm refractor is for sale.\nInterested?\n"),
        dict(INTERNAL=0, SUBJECT="Re: Telescope for sale", SEND_ID=OWNER_ID, SEND_NAME="Wilma Thornbury",
             RECV_ID="INTERNET:greta@example.se", RECV_NAME="Greta Lindqvist", MSG_DATE="11-Aug-96",
             MSG_TIME="18:30:15", MSG_TEXT="Yes, for my nephew. What do you ask for it?\n"),
        dict(INTERNAL=0, SUBJECT="Odd time", SEND_ID="71234,567", SEND_NAME="Harold Pennyworth", RECV_ID=OWNER_ID,
             MSG_DATE="12-Aug-96", MSG_TIME="noon", IS_DELETE=True, MSG_TEXT="The time of this one is unreadable.\n"),
    ]


def navcis17_rows(base=960000):
    """NavCIS 1.7x: the same kinds of rows as navcis16_rows(), with messages
    of their own."""
    return [
        dict(FORUM_NAME="stargaze", INTERNAL=7, SEC_NUMBER=4, SEC_NAME="Observing", SUBJECT="Dew heater wiring",
             SEND_ID="75020.331", SEND_NAME="Jonas Kettering", RECV_ID="All", RECV_NAME="All", MSG_NUMBER=base + 1,
             MSG_PARENT=0, MSG_DATE="14-Nov-97", MSG_TIME="23:40", REC_DATE=datetime.date(1997, 11, 15),
             MSG_TEXT="Can I run two dew heaters from one car battery?\nThe corrector plate fogs up by midnight.\n"),
        dict(FORUM_NAME="stargaze", INTERNAL=7, SEC_NUMBER=4, SEC_NAME="Observing", SUBJECT="Dew heater wiring",
             SEND_ID="76110,45\r\n", SEND_NAME="Marta Oyelaran", RECV_ID="75020,331", RECV_NAME="Jonas Kettering",
             MSG_NUMBER=base + 2, MSG_PARENT=base + 1, MSG_DATE="16-Nov-97", KEEP=True,
             MSG_TEXT="Yes, with a fuse in each line.\r\nA big battery lasts the whole night.\r\n"),
        dict(FORUM_NAME="homebrew", INTERNAL=9, SEC_NUMBER=4, SEC_NAME="Recipes", SUBJECT="Malzbier für Kinder",
             SEND_ID="77777,123", SEND_NAME="Tomás Brandt", RECV_ID="All", RECV_NAME="All", MSG_NUMBER=base + 101,
             MSG_DATE="01-Dec-97", MSG_TEXT="Dark malt, no yeast: the children love it.\n"),
    ] + skipped_rows("homebrew", "01-Dec-97") + [
        dict(FORUM_NAME="notes", INTERNAL=0, SUBJECT="Planetarium tickets", SEND_ID="INTERNET:dana@example.org",
             SEND_NAME="Dana Whitlock", RECV_ID=OWNER_ID, RECV_NAME="Wilma Thornbury", MSG_DATE="03-Nov-97",
             MSG_TIME="8:40", MSG_TEXT="I have two tickets for the new planetarium show.\nWould you like one?\n"),
        dict(INTERNAL=0, SUBJECT="Re: Planetarium tickets", SEND_ID=OWNER_ID, SEND_NAME="Wilma Thornbury",
             RECV_ID="INTERNET:dana@example.org", RECV_NAME="Dana Whitlock", MSG_DATE="04-Nov-97",
             MSG_TIME="20:05:45", MSG_TEXT="Gladly. I will meet you at the entrance.\n"),
        dict(INTERNAL=0, SUBJECT="New address", SEND_ID="76543,210", SEND_NAME="Oskar Feldmann", RECV_ID=OWNER_ID,
             MSG_DATE="06-Nov-97", MSG_TIME="evening", IS_DELETE=True,
             MSG_TEXT="We have moved: the new address is on the back of the card.\n"),
    ]


def cco_rows():
    return [
        dict(MSG_NUMBER="970001", MSG_DATE=datetime.date(1994, 11, 20), MSG_SUBJEC="Sourdough starter",
             MSG_SENDER="Hilde Marwick", MSG_SENDID="76543,21", MSG_RECVR="All", MSG_PARENT="0", MSG_SECTNO="4",
             MSG_SECT="Bread", MSG_TEXT="Feed it twice a day.\r\nKeep it warm.\r\n"),
        dict(MSG_NUMBER="970002", MSG_DATE=datetime.date(1994, 11, 21), MSG_SUBJEC="Sourdough starter",
             MSG_SENDER="Tomás Brandt", MSG_SENDID="77777.123", MSG_RECVR="Hilde Marwick", MSG_RECVID="76543,21",
             MSG_PARENT="970001", MSG_SECTNO="4", MSG_SECT="Bread", MSG_TEXT="Rye flour works best, süß.\r\n"),
        dict(MSG_NUMBER="0", MSG_DATE=datetime.date(1994, 11, 22), MSG_SUBJEC="No number", MSG_SENDER="X",
             MSG_SENDID="1,1", MSG_SECTNO="4", MSG_SECT="Bread", MSG_TEXT="Skipped.\r\n"),
    ]


def cma_rows():
    return [
        dict(MSG_NUMBER="1", MSG_DATE=datetime.date(1994, 12, 1), MSG_TIME="08:15", MSG_SUBJEC="Recipe",
             MSG_SENDER="Hilde Marwick", MSG_SENDID="76543.21", MSG_RECVR="Wilma Thornbury", MSG_RECVID=OWNER_ID,
             MSG_TEXT="Here is the recipe for Käsekuchen.\r\n"),
        dict(MSG_NUMBER="2", MSG_DATE=datetime.date(1994, 12, 2), MSG_TIME="19:45", MSG_SUBJEC="Re: Recipe",
             MSG_SENDER="Wilma Thornbury", MSG_SENDID=OWNER_ID, MSG_RECVR="Hilde Marwick", MSG_RECVID="76543,21",
             MSG_TEXT="Thank you!\r\n"),
    ]


def oui_rows():
    return [
        dict(IDENTIFIER="M1", SUBJECT="Committee meeting", MSG_DATE=datetime.date(1997, 3, 3), MSG_TIME="10:15:00",
             MSG_EXTRA="From: Ida Voss <ida.voss@example.org>\r\nTo: wilma@example.com\r\n"
                       "Subject: Committee meeting\r\nDate: Mon, 3 Mar 1997 10:15:00 +0100\r\n",
             MSG_BODY="The committee meets on Friday.\r\n"),
        dict(IDENTIFIER="M2", SUBJECT="Minutes", MSG_DATE=datetime.date(1997, 3, 8),
             MSG_EXTRA="From: Tomas Brandt <tomas@example.net>\r\nTo: wilma@example.com\r\nSubject: Minutes\r\n"
                       "Date: Sat, 8 Mar 1997 09:00:00 +0100\r\nContent-Type: text/html\r\n",
             MSG_BODY="<html><body><p>The minutes are <b>attached</b>.</p></body></html>\r\n"),
        dict(IDENTIFIER="N1", SUBJECT="Dew shields", MSG_DATE=datetime.date(1997, 3, 5),
             MSG_EXTRA="From: Greta Lindqvist <greta@example.se>\nNewsgroups: sci.example.astro\n"
                       "Subject: Dew shields\nDate: Wed, 5 Mar 1997 22:00:00 +0000\nMessage-ID: <n1@example.se>\n",
             MSG_BODY="Does anyone make a dew shield for an 8-inch SCT?\n"),
        dict(IDENTIFIER="N2", SUBJECT="Re: Dew shields", MSG_DATE=datetime.date(1997, 3, 6),
             MSG_EXTRA="From: Harold Pennyworth <harold@example.com>\nNewsgroups: sci.example.astro\n"
                       "Subject: Re: Dew shields\nDate: Thu, 6 Mar 1997 08:30:00 +0000\n"
                       "Message-ID: <n2@example.com>\nReferences: <n1@example.se>\n",
             MSG_BODY="A rolled sheet of camping mat works well.\n"),
    ]


def samples():
    for sub in ("navcis16", "navcis17", "ciscomm", "oui"):
        shutil.rmtree(os.path.join(HERE, sub), ignore_errors=True)
        os.makedirs(os.path.join(HERE, sub))
    p = write_table(os.path.join(HERE, "navcis16", "RECV.DBF"), NAVCIS_FIELDS, "db3", "cp437", navcis16_rows())
    damaged_copy(p, "DAMAGED")
    p = write_table(os.path.join(HERE, "navcis17", "HRECV.DBF"), NAVCIS_FIELDS, "fp", "cp1252", navcis17_rows())
    damaged_copy(p, "DAMAGED")
    os.makedirs(os.path.join(HERE, "ciscomm", "forum"))
    os.makedirs(os.path.join(HERE, "ciscomm", "mail"))
    p = write_table(os.path.join(HERE, "ciscomm", "forum", "BAKING.DBF"), CCO_FIELDS, "db3", "cp850", cco_rows())
    damaged_copy(p, "DAMAGED")
    p = write_table(os.path.join(HERE, "ciscomm", "mail", "MAIL.DBF"), CMA_FIELDS, "db3", "cp850", cma_rows())
    to_dbase4(p)
    damaged_copy(p, "DAMAGED")
    p = write_table(os.path.join(HERE, "oui", "MESSAGE.DBF"), OUI_FIELDS, "fp", "cp1252", oui_rows())
    damaged_copy(p, "DAMAGED")


# ---- the reader test's tables ------------------------------------------------------

FIXTURE_FIELDS = "NAME C(20); NUM N(8,0); AMOUNT N(10,2); DAY D; FLAG L; NOTE M"


def fixture_rows():
    long_memo = "".join("line %04d of a long memo\r\n" % i for i in range(3000))  # beyond 65280 bytes
    return [
        dict(NAME="Zoë Ångström", NUM=42, AMOUNT=12.5, DAY=datetime.date(1995, 3, 4), FLAG=True,
             NOTE="first memo\r\nwith two lines"),
        dict(NAME="", NUM=0, AMOUNT=0, DAY=None, FLAG=False, NOTE=""),
        dict(NAME="x" * 20, NUM=-7, AMOUNT=-1.25, DAY=datetime.date(2001, 12, 31), FLAG=None, NOTE=long_memo),
        dict(NAME="last", NUM=99999999, AMOUNT=3, DAY=datetime.date(1970, 1, 1), FLAG=True, NOTE="ü" * 600),
    ]


def fixture(directory):
    """Tables of each memo kind, and expect.txt with every value as python-dbf
    reads it back: table, record, field, deleted flag, value in hex (dates
    as YYYYMMDD, logicals as T/F/?, memos in the table's code page)."""
    os.makedirs(directory, exist_ok=True)
    made = [
        ("DB3", write_table(os.path.join(directory, "DB3"), FIXTURE_FIELDS, "db3", "cp850", fixture_rows(), False)),
        ("FOX", write_table(os.path.join(directory, "FOX"), FIXTURE_FIELDS, "fp", "cp1252", fixture_rows(), False)),
        ("DB4", write_table(os.path.join(directory, "DB4"), FIXTURE_FIELDS, "db3", "cp437", fixture_rows(), False)),
    ]
    with open(os.path.join(directory, "expect.txt"), "w") as out:
        for name, path in made:
            t = dbf.Table(path)
            t.open(dbf.READ_WRITE)
            enc = t.codepage.name
            if name == "FOX":
                dbf.delete(t[1])  # a deleted record
            out.write("table %s %d %s\n" % (name, len(t), enc))
            for i, rec in enumerate(t):
                for f in t.field_names:
                    v = rec[f]
                    if isinstance(v, str):
                        v = v.rstrip(" ").encode(enc)
                    elif isinstance(v, bool) or v is None and t.field_info(f).field_type == ord("L"):
                        v = {True: b"T", False: b"F", None: b"?"}[v]
                    elif isinstance(v, datetime.date):
                        v = v.strftime("%Y%m%d").encode()
                    elif v is None:
                        v = b""
                    else:
                        v = str(v).encode()
                    out.write("%d %s %d %s\n" % (i, f.upper(), 1 if dbf.is_deleted(rec) else 0, v.hex()))
            t.close()
    for name, path in made:
        upper_case(path)
    to_dbase4(os.path.join(directory, "DB4.DBF"))


def large(directory, n):
    os.makedirs(directory, exist_ok=True)
    rows = navcis17_rows()[:3]
    t = dbf.Table(os.path.join(directory, "HRECV"), NAVCIS_FIELDS, dbf_type="fp", codepage="cp1252")
    t.open(dbf.READ_WRITE)
    names = t.field_names
    for i in range(n):
        r = dict(rows[i % 3], MSG_NUMBER=i + 1, MSG_PARENT=i if i % 4 else 0)
        t.append({k.lower(): v for k, v in r.items() if k.lower() in names})
    t.close()
    for ext in (".dbf", ".fpt"):
        base = os.path.join(directory, "HRECV")
        os.replace(base + ext, base + ext.upper())


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--fixture":
        fixture(sys.argv[2])
    elif len(sys.argv) == 4 and sys.argv[1] == "--large":
        large(sys.argv[2], int(sys.argv[3]))
    else:
        samples()


if __name__ == "__main__":
    main()
