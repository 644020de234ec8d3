#!/usr/bin/env python3
"""Writes the news store samples below samples/news/.

Every format gets the same kinds of articles, with its own newsgroups,
people and message identifiers: a thread of replies spread over two files,
a reply that comes before its parent, a cross-posted article, a MIME
multipart/alternative article, an HTML article, an encoded-word subject, a
quoted-printable body with soft line breaks, and a body that quotes a
header block. All names are invented; addresses are example.com/example.org.

Run from anywhere: python3 samples/news/make_news_samples.py
"""

import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def articles(tag, g1, g2, topic, people):
    """The article set of one format. tag makes the identifiers unique."""
    a, b, c, d = people
    mid = lambda n: "<%s.%d@news.example.com>" % (tag, n)
    root = dict(id=mid(1), refs=[], groups=[g1], sender=a, date="Tue, 03 Mar 1998 10:15:00 +0100",
                subject="%s for beginners" % topic,
                body=["Hello all,", "",
                      "which %s would you recommend to someone just starting out?" % topic.lower(),
                      "", "Thanks, %s" % a[0].split()[0]])
    reply1 = dict(id=mid(2), refs=[mid(1)], groups=[g1], sender=b, date="Tue, 03 Mar 1998 14:02:31 +0100",
                  subject="Re: %s for beginners" % topic,
                  body=["%s wrote:" % a[0], "> which %s would you recommend" % topic.lower(), "",
                        "Start small and keep notes. It pays off."])
    reply2 = dict(id=mid(3), refs=[mid(1), mid(2)], groups=[g1], sender=c, date="04-Mar-98 09:30",
                  subject="Re: Re: %s for beginners" % topic,
                  body=["Agreed with both of you.", "", "-- ", c[0]])
    # The child comes first in its file, its parent after it.
    early_child = dict(id=mid(5), refs=[mid(4)], groups=[g2], sender=a, date="Thu, 05 Mar 1998 08:00:00 +0000",
                       subject="Re: Meeting in April", body=["Count me in for the April meeting."])
    late_parent = dict(id=mid(4), refs=[], groups=[g2], sender=d, date="Wed, 04 Mar 1998 18:45:10 -0500",
                       subject="Meeting in April",
                       body=["We plan to meet on the 12th of April.", "Who is coming?"])
    crosspost = dict(id=mid(6), refs=[], groups=[g1, g2], sender=b, date="Fri, 06 Mar 1998 11:11:11 +0100",
                     subject="Cross-posted: spring fair",
                     body=["The spring fair is open to both groups this year."])
    multipart = dict(id=mid(7), refs=[], groups=[g2], sender=c, date="Sat, 07 Mar 1998 12:00:00 +0100",
                     subject="Pictures from the fair",
                     extra=["MIME-Version: 1.0",
                            'Content-Type: multipart/alternative; boundary="=_part_%s"' % tag],
                     body=["This is a multi-part message in MIME format.", "",
                           "--=_part_%s" % tag, "Content-Type: text/plain; charset=us-ascii", "",
                           "The pictures are on the club page.", "",
                           "--=_part_%s" % tag, "Content-Type: text/html; charset=us-ascii", "",
                           "<html><body><p>The <b>pictures</b> are on the club page.</p></body></html>", "",
                           "--=_part_%s--" % tag])
    html = dict(id=mid(8), refs=[mid(7)], groups=[g2], sender=d, date="Sat, 07 Mar 1998 15:20:00 +0100",
                subject="Re: Pictures from the fair",
                extra=["MIME-Version: 1.0", "Content-Type: text/html; charset=iso-8859-1"],
                body=["<html><body>", "<p>Lovely pictures,<br>thank you!</p>", "</body></html>"])
    encoded = dict(id=mid(9), refs=[], groups=[g1], sender=a, date="Sun, 08 Mar 1998 09:00:00 +0100",
                   subject="=?ISO-8859-1?Q?Caf=E9_evening?=",
                   body=["See you at the caf\xe9 on Sunday."])
    qp = dict(id=mid(10), refs=[mid(9)], groups=[g1], sender=b, date="Sun, 08 Mar 1998 10:30:00 +0100",
              subject="Re: Caf\xe9 evening",
              extra=["MIME-Version: 1.0", "Content-Type: text/plain; charset=iso-8859-1",
                     "Content-Transfer-Encoding: quoted-printable"],
              body=["This line is long and was wrapped by the sender's program at th=",
                    "is point; the price is 2+2=3D4 euro.", "Bye"])
    quoting = dict(id=mid(11), refs=[mid(6)], groups=[g1], sender=c, date="Mon, 09 Mar 1998 16:00:00 +0100",
                   subject="Re: Cross-posted: spring fair",
                   body=["I got this by mail earlier:", "",
                         "From: %s <%s>" % (d[0], d[1]),
                         "Date: Thu, 05 Mar 1998 10:00:00 +0100",
                         "Subject: spring fair", "",
                         "Stand numbers are handed out at the gate.", "",
                         "So it seems."])
    file1 = [root, reply1, early_child, crosspost, multipart, html]
    file2 = [reply2, late_parent, encoded, qp, quoting]
    return file1, file2


def header_lines(art, with_newsgroups=True, with_id=True):
    name, addr = art["sender"]
    lines = ["From: %s <%s>" % (name, addr)]
    if with_newsgroups:
        lines.append("Newsgroups: " + ",".join(art["groups"]))
    lines += ["Subject: " + art["subject"], "Date: " + art["date"]]
    if with_id:
        lines.append("Message-ID: " + art["id"])
    if art["refs"]:
        lines.append("References: " + " ".join(art["refs"]))
    lines += art.get("extra", [])
    lines.append("Lines: %d" % len(art["body"]))
    return lines


def text_of(art, eol="\r\n", **kw):
    return eol.join(header_lines(art, **kw) + [""] + art["body"]) + eol


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    if isinstance(data, str):
        data = data.encode("latin-1")
    with open(path, "wb") as f:
        f.write(data)


def from_line(art):
    return "From %s Tue Mar 03 10:15:00 1998" % art["sender"][1]


# ---- separator formats ---------------------------------------------------------

def agent(d):
    f1, f2 = articles("agent", "alt.example.gardening", "rec.example.birds", "Seed catalogue",
                      [("Ada Thornfield", "ada@example.com"), ("Bram Okonjo", "bram@example.org"),
                       ("Cleo Marsh", "cleo@example.com"), ("Dario Fenn", "dario@example.org")])
    write(os.path.join(d, "gardening.txt"), "".join("========\r\n" + text_of(a) for a in f1))
    write(os.path.join(d, "birds.txt"), "".join(from_line(a) + "\r\n" + text_of(a) for a in f2))


def unix(d):
    f1, f2 = articles("unix", "comp.example.compilers", "comp.example.editors", "Parser generator",
                      [("Hale Voss", "hale@example.com"), ("Ines Pardo", "ines@example.org"),
                       ("Jory Blake", "jory@example.com"), ("Kira Lund", "kira@example.org")])
    write(os.path.join(d, "compilers.mbox"), "".join(from_line(a) + "\n" + text_of(a, eol="\n") for a in f1))
    # A news spool: one article per file, named by its number.
    for n, a in enumerate(f2, start=101):
        write(os.path.join(d, str(n)), "Path: news.example.com!not-for-mail\n" + text_of(a, eol="\n"))


def winvn(d):
    f1, f2 = articles("winvn", "misc.example.travel", "rec.example.trains", "Rail pass",
                      [("Lena Roth", "lena@example.com"), ("Milo Grant", "milo@example.org"),
                       ("Nia Hollis", "nia@example.com"), ("Otto Brand", "otto@example.org")])
    write(os.path.join(d, "TRAVEL.ART"), "".join(from_line(a) + "\r\n" + text_of(a) for a in f1))
    write(os.path.join(d, "TRAINS.ART"), "".join(from_line(a) + "\r\n" + text_of(a) for a in f2))


def gravity(d):
    f1, f2 = articles("gravity", "rec.example.astronomy", "sci.example.optics", "Telescope",
                      [("Pia Sommer", "pia@example.com"), ("Quinn Adair", "quinn@example.org"),
                       ("Rosa Imhof", "rosa@example.com"), ("Sven Dahl", "sven@example.org")])
    write(os.path.join(d, "astronomy.grv"), "".join(text_of(a) for a in f1))
    write(os.path.join(d, "optics.grv"), "".join(text_of(a) for a in f2))


def virtualaccess(d):
    f1, f2 = articles("va", "comp.example.modems", "comp.example.printers", "Modem",
                      [("Tara Quill", "tara@example.com"), ("Ugo Ferris", "ugo@example.org"),
                       ("Vera Stone", "vera@example.com"), ("Wes Arden", "wes@example.org")])

    def news(a):
        title = "%s, from %s, %d chars, 03-Mar-98 10:15" % (a["groups"][0], a["sender"][0], len(a["body"]) * 40)
        return "==========\r\n" + title + "\r\n----------\r\n" + text_of(a)

    forum = [
        ("IBMPRO/S3_Utilities #12340, from Tara Quill, 220 chars, 02-Mar-98 09:00", None,
         ["Subject: Disk utilities", "From: Tara Quill 76543,210", "To: All"],
         ["Which disk utility do you use for defragmenting?"]),
        ("IBMPRO/S3_Utilities #12345, from Ugo Ferris, 180 chars, 03-Mar-98 10:15", "Comment to 12340.",
         ["Subject: Disk utilities", "From: Ugo Ferris 71234,567", "To: Tara Quill 76543,210"],
         ["The one that came with the system works fine for me."]),
        ("IBMPRO/S5_Printers #12400, from Vera Stone, 120 chars, 04-Mar-1998 11:00", None,
         ["Subject: Printer driver", "From: Vera Stone [70000,123]", "To: All"],
         ["Where can I find the driver for the old dot-matrix printer?"]),
    ]
    out = []
    for title, comment, head, body in forum:
        out.append("==========\r\n" + title + "\r\n" + (comment + "\r\n" if comment else "") + "----------\r\n")
        out.append("\r\n".join(head + [""] + body) + "\r\n")
    mail = ["==========", "Mail from Wes Arden, 90 chars, 05-Mar-98 08:00", "----------",
            "From: Wes Arden <wes@example.org>", "To: Tara Quill <tara@example.com>",
            "Date: Thu, 05 Mar 1998 08:00:00 +0100", "Subject: Lunch on Friday", "",
            "Lunch on Friday at noon?"]
    out.append("\r\n".join(mail) + "\r\n")
    out.append("".join(news(a) for a in f1))
    write(os.path.join(d, "IBMPRO"), "".join(out))
    write(os.path.join(d, "PRINTERS"), "".join(news(a) for a in f2))


# ---- news cache, news folder and message database files ------------------------

def cache(d, tag, names):
    f1, f2 = articles(tag, names[0], names[1], names[2], names[3])

    def entry(a, n):
        refs = " ".join(a["refs"])
        texts = [a["id"], a["subject"], "%s <%s>" % a["sender"], refs,
                 "news.example.com %s:%d" % (a["groups"][0], n)]
        return (b"\xbc" + struct.pack("<IIIIIB", n, 0x20, n * 3, 0, 1, 0) + b"".join(
            t.encode("latin-1") + b"\0" for t in texts))

    def nch(arts, first):
        data = b"NCH1" + bytes(60)
        for n, a in enumerate(arts, start=first):
            data += entry(a, n) + b"\0\0\0\0"
            # The first article of each file carries no Message-ID line and the
            # second no Newsgroups line: the index entry stands in for them.
            art = text_of(a, with_id=(n != first), with_newsgroups=(n != first + 1))
            data += art.encode("latin-1") + b"\0" * (8 - len(art) % 4)
        return data

    write(os.path.join(d, names[0] + ".NCH"), nch(f1, 1))
    write(os.path.join(d, names[1] + ".NCH"), nch(f2, 20))


def netscape(d):
    f1, f2 = articles("netscape", "comp.example.browsers", "alt.example.webdesign", "Style sheet",
                      [("Xena Pratt", "xena@example.com"), ("Yuri Mendel", "yuri@example.org"),
                       ("Zoe Kettle", "zoe@example.com"), ("Abel Reyes", "abel@example.org")])

    def snm(arts):
        data = b"# Netscape folder cache\0" + bytes(40)
        for n, a in enumerate(arts):
            data += struct.pack("<IHH", n, 0x8001, 7) + b"\0" + text_of(a).encode("latin-1") + b"\0\0"
        return data

    write(os.path.join(d, "comp.example.browsers.snm"), snm(f1))
    write(os.path.join(d, "alt.example.webdesign.snm"), snm(f2))


def dbx(d):
    f1, f2 = articles("oe5", "microsoft.example.outlook", "alt.example.photography", "Camera",
                      [("Bea Lorne", "bea@example.com"), ("Cai Duarte", "cai@example.org"),
                       ("Dina Vale", "dina@example.com"), ("Emil Stroud", "emil@example.org")])
    HEADER = 0x24BC

    def build(arts):
        # The file header, an index-like block that fails the block test, then
        # the messages' blocks. The blocks of the second message are laid out
        # after those of the third, so its chain goes back and forth.
        data = bytearray(b"\xcf\xad\x12\xfe\xc5\xfd\x74\x6f" + bytes(HEADER - 8))
        data += struct.pack("<IIII", len(data), 0x1F0, 0x40, 0) + bytes(0x1F0 - 16)
        texts = [text_of(a).encode("latin-1") for a in arts]
        chunks = [[t[i:i + 512] for i in range(0, len(t), 512)] for t in texts]
        order = []
        for m, ch in enumerate(chunks):
            order += [(m, k) for k in range(len(ch))]
        if len(chunks) > 2 and len(chunks[1]) > 1:
            moved = [(1, k) for k in range(1, len(chunks[1]))]
            order = [o for o in order if o not in moved]
            pos = max(i for i, o in enumerate(order) if o[0] == 2) + 1
            order[pos:pos] = moved
        offset = {}
        at = len(data)
        for o in order:
            offset[o] = at
            at += 528
        for o in order:
            m, k = o
            ch = chunks[m][k]
            nxt = offset.get((m, k + 1), 0)
            data += struct.pack("<IIII", offset[o], 512, len(ch), nxt) + ch + bytes(512 - len(ch))
        return bytes(data)

    write(os.path.join(d, "microsoft.example.outlook.dbx"), build(f1))
    write(os.path.join(d, "alt.example.photography.dbx"), build(f2))


def main():
    agent(os.path.join(HERE, "agent"))
    unix(os.path.join(HERE, "unix"))
    winvn(os.path.join(HERE, "winvn"))
    gravity(os.path.join(HERE, "gravity"))
    virtualaccess(os.path.join(HERE, "virtualaccess"))
    cache(os.path.join(HERE, "ienews"), "ie",
          ["comp.example.databases", "comp.example.networks", "Index",
           [("Fay Corrin", "fay@example.com"), ("Gus Albright", "gus@example.org"),
            ("Hana Ide", "hana@example.com"), ("Ivo Pellam", "ivo@example.org")]])
    cache(os.path.join(HERE, "oe4news"), "oe4",
          ["rec.example.cooking", "rec.example.baking", "Sourdough",
           [("Jana Welt", "jana@example.com"), ("Kurt Amsel", "kurt@example.org"),
            ("Lia Norden", "lia@example.com"), ("Mats Olin", "mats@example.org")]])
    netscape(os.path.join(HERE, "netscape"))
    dbx(os.path.join(HERE, "oe5news"))


if __name__ == "__main__":
    main()
