#!/usr/bin/env python3
"""Writes the mail samples below samples/mail/.

Every format gets the mail of one owner, Robin Quayle (robin@example.com,
also writing as rq@example.org and robin.quayle@example.net), in its own
layout: an incoming mail with carbon copies, the owner's answer to it, a mail
sent from an alternative address, multipart/alternative mail with the plain
part first and with the HTML part first, multipart/mixed mail with an
attachment that reached the owner as a carbon copy, a Base64 and a
quoted-printable body, subjects and names in ISO-8859-1 and ISO-8859-2
encoded words, and a duplicate of the first mail. The mail every format
shares is the same mail in each, so an archive that imports several formats
stores it once. The Eudora sample keeps received and sent mail in two
mailboxes with their tables of contents; its copy of the mail with the
attachment is a mail of its own (the attachment becomes a line of text), and
a mail of its own quotes a separator line. The formats that keep mail one
after another have a forward of their own that quotes a header block. All names are invented; addresses
are example.com/.org/.net.

Run from anywhere: python3 samples/mail/make_mail_samples.py
"""

import base64
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

OWNER = ("Robin Quayle", "robin@example.com")
ALT1 = "rq@example.org"
HILDE = ("Hilde Marwick", "hilde.marwick@example.com")
TOMAS = ("Tomas Brandt", "tomas@example.net")
IDA = ("Ida Voss", "ida.voss@example.org")
PAWEL_WORD = "=?ISO-8859-2?Q?Pawe=B3_Nowak?="
PAWEL = "pawel.nowak@example.net"
CLUB = "garden-club@example.com"


def addr(p):
    return '"%s" <%s>' % p if " " in p[0] else "%s <%s>" % p


def mails(tag):
    """The mail set, as dicts of header lines and body lines. `tag` makes the
    Message-IDs of one format unique."""
    mid = lambda n: "Message-ID: <%s.%d@mail.example.com>" % (tag, n)
    m1 = dict(sep=("hilde.marwick@example.com", "Mon Mar 02 09:15:42 1998"), dated=True, headers=[
        "Return-Path: <%s>" % HILDE[1],
        "Received: from mx.example.com by mail.example.com;",
        "\tMon, 2 Mar 1998 09:15:50 +0100",
        mid(1),
        "Date: Mon, 2 Mar 1998 09:15:42 +0100",
        "From: %s" % addr(HILDE),
        "To: %s" % addr(OWNER),
        "Cc: %s, %s" % (addr(TOMAS), addr(IDA)),
        "Subject: Garden club meeting",
    ], body=[
        "Dear Robin,",
        "",
        "the garden club meets on Saturday at ten. Tomas brings the seeds,",
        "Ida the coffee. Could you bring the spade?",
        "",
        "Hilde",
    ])
    m2 = dict(sep=("robin@example.com", "Mon Mar 02 11:02:10 1998"), dated=False, headers=[
        mid(2),
        "Date: Mon, 2 Mar 1998 11:02:10 +0100",
        "From: %s" % addr(OWNER),
        "To: %s" % addr(HILDE),
        "Subject: Re: Garden club meeting",
    ], body=[
        "Hilde wrote:",
        "> Could you bring the spade?",
        "",
        "Of course. See you on Saturday.",
        "",
        "Robin",
    ])
    m3 = dict(sep=(ALT1, "Tue Mar 03 18:30:00 1998"), dated=False, headers=[
        mid(3),
        "Date: Tue, 3 Mar 1998 18:30:00 +0100",
        "From: Robin Quayle <%s>" % ALT1,
        "To: %s" % addr(TOMAS),
        "Subject: Invoice for the seeds",
        "MIME-Version: 1.0",
        "Content-Type: text/plain; charset=iso-8859-1",
        "Content-Transfer-Encoding: quoted-printable",
    ], body=[
        "Tomas,",
        "",
        "the invoice for the seeds comes to 42 marks; the caf=E9 bill is a=",
        "lready paid. Total =3D 42.",
        "",
        "Robin",
    ], eudora_body=[
        "Tomas,",
        "",
        "the invoice for the seeds comes to 42 marks; the caf\xe9 bill is already paid. Total = 42.",
        "",
        "Robin",
    ])
    m4 = dict(sep=(IDA[1], "Wed Mar 04 08:05:00 1998"), dated=True, headers=[
        mid(4),
        "Date: Wed, 4 Mar 1998 08:05:00 +0100",
        "From: %s" % addr(IDA),
        "To: %s" % addr(OWNER),
        "Subject: =?ISO-8859-1?Q?Gr=FC=DFe_aus_M=FCnchen?=",
        "MIME-Version: 1.0",
        'Content-Type: multipart/alternative; boundary="=_alt_plain_first"',
    ], body=[
        "This is a multi-part message in MIME format.",
        "",
        "--=_alt_plain_first",
        "Content-Type: text/plain; charset=iso-8859-1",
        "",
        "Greetings from Munich, the plain part comes first.",
        "",
        "--=_alt_plain_first",
        "Content-Type: text/html; charset=iso-8859-1",
        "",
        "<html><body><p>Greetings from <b>Munich</b>, the HTML part.</p></body></html>",
        "",
        "--=_alt_plain_first--",
    ], eudora_body=[
        "<x-html>",
        "<html><body><p>Greetings from Munich, the plain part comes first.</p></body></html>",
        "</x-html>",
    ])
    m5 = dict(sep=(PAWEL, "Thu Mar 05 12:00:00 1998"), dated=True, headers=[
        mid(5),
        "Date: Thu, 5 Mar 1998 12:00:00 +0100",
        "From: %s <%s>" % (PAWEL_WORD, PAWEL),
        "To: %s" % addr(OWNER),
        "Subject: =?ISO-8859-2?Q?Wizyta_w_=A3odzi?=",
        "MIME-Version: 1.0",
        "Content-Type: multipart/alternative;",
        '\tboundary="=_alt_html_first"',
    ], body=[
        "--=_alt_html_first",
        "Content-Type: text/html; charset=iso-8859-2",
        "",
        "<html><body><p>Visit to the <i>botanical garden</i> next week.<br>",
        "See <a href=\"http://www.example.net/Garden\">the plan</a>.</p></body></html>",
        "",
        "--=_alt_html_first",
        "Content-Type: text/plain; charset=iso-8859-2",
        "",
        "Visit to the botanical garden next week (plain part, not taken).",
        "",
        "--=_alt_html_first--",
    ], eudora_body=[
        "<x-html>",
        "<html><body><p>Visit to the <i>botanical garden</i> next week.<br>",
        "See <a href=\"http://www.example.net/Garden\">the plan</a>.</p></body></html>",
        "</x-html>",
    ])
    pdf = base64.encodebytes(b"%PDF-1.1 invented attachment " * 12).decode("ascii").splitlines()
    m6 = dict(sep=(TOMAS[1], "Fri Mar 06 16:45:30 1998"), dated=True, headers=[
        mid(6),
        "Date: Fri, 6 Mar 1998 16:45:30 +0100",
        "From: %s" % addr(TOMAS),
        "To: Garden Club <%s>" % CLUB,
        "Cc: %s" % addr(OWNER),
        "Subject: Planting plan",
        "MIME-Version: 1.0",
        'Content-Type: multipart/mixed; boundary="=_mixed_plan"',
    ], body=[
        "--=_mixed_plan",
        "Content-Type: text/plain; charset=iso-8859-1",
        "Content-Transfer-Encoding: quoted-printable",
        "",
        "The planting plan is attached. Beds one to four get tulips, the r=",
        "est gets herbs.",
        "",
        "--=_mixed_plan",
        'Content-Type: application/pdf; name="plan.pdf"',
        "Content-Transfer-Encoding: base64",
        'Content-Disposition: attachment; filename="plan.pdf"',
        "",
    ] + pdf + [
        "",
        "--=_mixed_plan--",
    ], eudora_body=[
        "The planting plan is attached. Beds one to four get tulips, the rest gets herbs.",
        "",
        'Attachment Converted: "c:\\eudora\\attach\\plan.pdf"',
    ])
    text7 = "Base64 bodies are decoded by some programs only.\r\nThis one came that way.\r\n"
    m7 = dict(sep=(HILDE[1], "Sat Mar 07 10:10:10 1998"), dated=True, headers=[
        mid(7),
        "Date: Sat, 7 Mar 1998 10:10:10 +0100",
        "From: %s" % addr(HILDE),
        "To: %s, %s" % (addr(OWNER), addr(IDA)),
        "Subject: Re: Planting plan",
        "MIME-Version: 1.0",
        "Content-Type: text/plain; charset=us-ascii",
        "Content-Transfer-Encoding: base64",
    ], body=base64.encodebytes(text7.encode("ascii")).decode("ascii").splitlines(),
        eudora_body=text7.rstrip("\r\n").split("\r\n"))
    return [m1, m2, m3, m4, m5, m6, m7, m1]


def minutes():
    """Eudora's own mail: its text holds a line that looks like Eudora's
    separator, which the table of contents shows to be text."""
    return dict(sep=(HILDE[1], "Sun Mar 08 19:20:00 1998"), dated=True, headers=[
        "Message-ID: <eud.8@mail.example.com>",
        "Date: Sun, 8 Mar 1998 19:20:00 +0100",
        "From: %s" % addr(HILDE),
        "To: %s" % addr(OWNER),
        "Subject: Minutes of the garden club",
    ], body=[
        "Robin,",
        "",
        "someone pasted this line from an old mailbox into the minutes:",
        "From ???@??? Sun Mar 01 10:00:00 1998",
        "It is part of this text.",
        "",
        "Hilde",
    ])


def forward(tag):
    """A mail of the programs that keep mail one after another: a forward
    that quotes a header block of two kinds, which is text."""
    return dict(sep=(OWNER[1], "Mon Mar 09 08:30:00 1998"), dated=False, headers=[
        "Message-ID: <%s.9@mail.example.com>" % tag,
        "Date: Mon, 9 Mar 1998 08:30:00 +0100",
        "From: %s" % addr(OWNER),
        "To: %s" % addr(IDA),
        "Subject: Fwd: Garden club meeting",
    ], body=[
        "Ida, Hilde's mail below.",
        "From: Hilde Marwick <hilde.marwick@example.com>",
        "Subject: Garden club meeting",
        "",
        "> Ida the coffee.",
        "",
        "Robin",
    ])


def text_of(m, eol="\r\n", eudora=False):
    body = m.get("eudora_body", m["body"]) if eudora else m["body"]
    return eol.join(m["headers"] + [""] + body) + eol


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode("latin-1"))


def eudora(d):
    """In.mbx (received mail, with Date lines) and Out.mbx (sent mail,
    without), each with its table of contents."""
    def mailbox(name, ms, dated):
        data = b""
        offsets = []
        for m in ms:
            offsets.append(len(data))
            headers = [h for h in m["headers"] if dated or not h.startswith("Date:")]
            if not dated:
                headers = [h for h in headers if not h.startswith(("Received:", "\t", "Return-Path:"))]
            sep = "From ???@??? %s" % m["sep"][1]
            data += ("\r\n".join([sep] + headers + [""] + m.get("eudora_body", m["body"])) + "\r\n").encode("latin-1")
        write(os.path.join(d, name + ".mbx"), data)
        toc = bytearray(104)
        toc[0:2] = b"\x31\x00"
        toc[8:8 + len(name)] = name.encode("ascii")
        for off in offsets:
            entry = bytearray(218)
            entry[0:4] = struct.pack("<I", off)
            entry[4:8] = struct.pack("<I", 0)
            toc += entry
        write(os.path.join(d, name + ".toc"), bytes(toc))

    ms = mails("eud")
    # The attachment becomes a line of the text, so Eudora's copy of the
    # planting plan is a mail of its own: the plan sent again, with the
    # drawing.
    plan = dict(ms[5])
    plan["sep"] = (TOMAS[1], "Fri Mar 06 17:20:00 1998")
    plan["headers"] = [h.replace("16:45:30", "17:20:00").replace("Subject: Planting plan",
                                                                  "Subject: Planting plan with the drawing")
                       for h in plan["headers"]]
    ms[5] = plan
    ms.append(minutes())
    mailbox("In", [m for m in ms if m["dated"]], True)
    mailbox("Out", [m for m in ms if not m["dated"]], False)


def netscape(d):
    ms = mails("ns")
    def folder(sel):
        out = ""
        for m in sel:
            out += "From - %s\r\nX-Mozilla-Status: 0001\r\nX-Mozilla-Status2: 00000000\r\n" % m["sep"][1]
            out += text_of(m)
        return out
    write(os.path.join(d, "Inbox"), folder([m for m in ms if m["dated"]]))
    write(os.path.join(d, "Sent"), folder([m for m in ms if not m["dated"]]))


def record_marker(d, tag):
    """Mailbox of records that start with 0x7F 0x00 0x7F 0x00, a number and
    two sizes, the text, and NUL padding to 16 bytes."""
    data = bytearray(b"JMF6" + bytes(0x3C))
    for n, m in enumerate(mails(tag), 1):
        t = text_of(m).encode("latin-1")
        size = 16 + len(t)
        padded = (size + 15) // 16 * 16
        data += b"\x7f\x00\x7f\x00" + struct.pack("<III", n, padded, len(t)) + t + bytes(padded - size)
    write(os.path.join(d, "Inbox.mbx"), bytes(data))


def dbx(d):
    """A message database: a file header, a block that fails the block test,
    and each mail's text in a chain of 512-byte data blocks."""
    HEADER = 0x24BC
    data = bytearray(b"\xcf\xad\x12\xfe\xc5\xfd\x74\x6f" + bytes(HEADER - 8))
    data += struct.pack("<IIII", len(data), 0x1F0, 0x40, 0) + bytes(0x1F0 - 16)
    for m in mails("oe5"):
        t = text_of(m).encode("latin-1")
        chunks = [t[i:i + 512] for i in range(0, len(t), 512)]
        at = len(data)
        for k, ch in enumerate(chunks):
            nxt = at + 528 * (k + 1) if k + 1 < len(chunks) else 0
            data += struct.pack("<IIII", at + 528 * k, 512, len(ch), nxt) + ch + bytes(512 - len(ch))
    write(os.path.join(d, "Inbox.dbx"), bytes(data))


def pegasus(d):
    header = b"PMM\x00New mail folder\x00" + bytes(128 - 20)
    data = header + b"\x1a".join(text_of(m).encode("latin-1") for m in mails("peg")) + b"\x1a"
    write(os.path.join(d, "Inbox.pmm"), data)


def concatenated(path, tag, eol):
    """Mail one after another without separators; a reply quotes a header
    block of two kinds, which is text."""
    ms = mails(tag) + [forward(tag)]
    write(path, "".join(text_of(m, eol) for m in ms))


def mbox(d):
    out = ""
    for m in mails("mbox"):
        out += "From %s %s\n" % m["sep"]
        body = [(">" + l if l.startswith("From ") else l) for l in m["body"]]
        out += "\n".join(m["headers"] + [""] + body) + "\n\n"
    write(os.path.join(d, "mbox"), out)


def aol(d):
    """Tagged records: a part without text, a stray tag, a text part with
    the body, the "Headers" line and the Internet header lines, then the
    record end."""
    no_text = bytes.fromhex("4E0000000C000210010D000736000000")
    text_part = bytes.fromhex("200000000C000200000D000710000000")
    data = bytearray(b"AOLVFC\x00\x01" + bytes(24))
    for m in mails("aol"):
        data += b"AOLFAOLH" + no_text + b"AOLF\x00\x10\x00\x00"
        text = "\r\n".join(m["body"]) + "\r\n\r\n----------------------- Headers --------------------------------\r\n"
        text += "\r\n".join(m["headers"]) + "\r\n\r\n"
        data += b"AOLFAOLH" + text_part + text.encode("latin-1")
        data += b"AOLFRS\x00\x00"
    write(os.path.join(d, "Robin Quayle.pfc"), bytes(data))


def main():
    eudora(os.path.join(HERE, "eudora"))
    netscape(os.path.join(HERE, "netscape"))
    record_marker(os.path.join(HERE, "iemail"), "ie")
    record_marker(os.path.join(HERE, "oe4mail"), "oe4")
    dbx(os.path.join(HERE, "oe5mail"))
    pegasus(os.path.join(HERE, "pegasus"))
    concatenated(os.path.join(HERE, "becky", "Inbox.mbx"), "becky", "\r\n")
    concatenated(os.path.join(HERE, "agent", "Mail.txt"), "agent", "\r\n")
    concatenated(os.path.join(HERE, "generic1", "mailbox.txt"), "gen1", "\n")
    mbox(os.path.join(HERE, "generic2"))
    aol(os.path.join(HERE, "aol"))


if __name__ == "__main__":
    main()
