#!/usr/bin/env python3
"""The fidelity check of the Internet mail and news converters.

Compares, message by message and field by field, what quillbox-cli stored
with what Python's own `email` and `mailbox` parsers read from the same
files. Only the standard library is used.

Commands:
  generate OUTDIR         writes the generated corpus (mailboxes covering
                          envelope shapes, line ends, folding, encoded words,
                          charsets, MIME preambles, quoted-printable, flowed
                          text, Eudora markers, long lines and names) and
                          OUTDIR/manifest.json
  realworld ROOT OUTDIR   writes OUTDIR/manifest.json for the real stores
                          under ROOT (nothing when ROOT is missing)
  compare MANIFEST DUMPS  compares the dumps the test wrote (DUMPS/<corpus>.json:
                          the `show --json` objects of every stored message,
                          in the order they were stored) with the reference
                          parse, prints the match rate per field and every
                          difference; exit code 1 when a field of a corpus
                          marked "strict" is below 100 %.

Where the archive differs from the reference parse by a rule of its format,
the rule is applied to the reference below, each with its reason (RULE).
"""

import base64
import email
import email.header
import email.utils
import html.parser
import json
import mailbox
import os
import re
import sys

OWNER = "owner@example.invalid"
FIELDS = ["count", "sender name", "sender address", "recipients", "subject", "date", "time", "text"]

# RULE: the archive keeps 60 bytes of a name, 100 of a subject; a name that
# must be cut ends at a word, both at a character boundary.
NAME_BYTES = 60
SUBJECT_BYTES = 100
TEXT_CHARS = 500
PERSON_BYTES = 25
MAIL_SUBJECT_BYTES = 50


# ---- generated corpus ---------------------------------------------------------

def header(name, value):
    return name.encode() + b": " + (value if isinstance(value, bytes) else value.encode())


def message(envelope, headers, body):
    lines = [envelope.encode()] + [header(n, v) for n, v in headers]
    return b"\n".join(lines) + b"\n\n" + body.rstrip(b"\n") + b"\n\n"


def b64(data, width=60):
    s = base64.b64encode(data).decode()
    return "\n".join(s[i:i + width] for i in range(0, len(s), width)).encode()


def qp(data):
    out, line = [], ""
    for byte in data:
        c = chr(byte)
        if byte == 10:
            out.append(line)
            line = ""
            continue
        piece = c if (33 <= byte <= 126 and c != "=") or c == " " else "=%02X" % byte
        if len(line) + len(piece) > 72:
            out.append(line + "=")
            line = ""
        line += piece
    out.append(line)
    return "\n".join(out).encode()


def word(text, charset, enc="B"):
    data = text.encode(charset)
    if enc == "B":
        return "=?%s?B?%s?=" % (charset, base64.b64encode(data).decode())
    q = "".join(chr(b) if chr(b).isascii() and chr(b).isalnum() else ("_" if b == 32 else "=%02X" % b) for b in data)
    return "=?%s?Q?%s?=" % (charset, q)


def date(day, hour):
    return "Mon, %02d Jan 2000 %02d:%02d:00 +0100" % (day, hour, day)


def common(n, frm, subject, extra=()):
    return [("From", frm), ("To", "Owner <%s>" % OWNER), ("Subject", subject), ("Date", date(n, 10 + n % 12)),
            ("Message-ID", "<gen%d@example.org>" % n)] + list(extra)


def generated_mails():
    m = []
    env = "From jdoe@example.com Mon Jan  3 12:00:00 2000"
    # 1: envelope lines of a local user and of a bang path (no "@").
    m.append(message("From markov  Mon Jan  3 12:00:00 2000",
                     common(1, "Mark Overbeek <markov@example.nl>", "Local user envelope",
                            [("Cc", "Ida Voss <ida@example.org>, tomas@example.net")]),
                     b"The envelope names a local user.\n>From here on the line is quoted.\n"))
    m.append(message("From uunet!host!user Tue Mar 14 10:00:00 EST 1995",
                     common(2, "user@host.uucp (Bang Path User)", "Bang path envelope"),
                     b"Routed through uunet.\n"))
    # 3, 4: folded header fields and an unusual but valid layout.
    m.append(message(env, [("From", "Very Long Name\n <folded@example.com>"), ("To", OWNER),
                           ("Subject", "This subject is long and\n\tgoes on in a folded line"),
                           ("Date", date(3, 9)), ("Message-ID", "<gen3@example.org>")],
                     b"Folded fields.\n"))
    m.append(message(env, [("Subject", "\n This is the subject"), ("From", "\n Ina Ivers <i@example.com>"),
                           ("To", OWNER), ("Date", date(4, 9))], b"Odd layout.\n"))
    # 5: encoded words: several, adjacent, split across a line, a character
    # split across two words, an RFC 2231 language.
    lodz = "Łódź".encode("utf-8")
    split = "=?UTF-8?B?%s?=\n =?UTF-8?B?%s?=" % (base64.b64encode(lodz[:1]).decode(), base64.b64encode(lodz[1:]).decode())
    m.append(message(env, common(5, word("Paweł Wójcik", "utf-8", "Q") + " <pawel@example.pl>",
                                 "=?UTF-8?Q?Re=3A_Da_uma_olhada?= " + word(" na ", "utf-8", "Q") + " " + split),
                     b"Encoded words.\n"))
    # 6-10: charsets of bodies and subjects.
    ru = "Привет из Москвы, это проверка кодировки KOI8-R.\n"
    m.append(message(env, common(6, word("Иван Петров", "koi8-r") + " <ivan@example.ru>", word("Проверка", "koi8-r"),
                                 [("Content-Type", "text/plain; charset=koi8-r"), ("Content-Transfer-Encoding", "8bit")]),
                     ru.encode("koi8-r")))
    m.append(message(env, common(7, "Olga <olga@example.ru>", word("Тема письма", "windows-1251", "Q"),
                                 [("Content-Type", "text/plain; charset=windows-1251"),
                                  ("Content-Transfer-Encoding", "quoted-printable")]),
                     qp("Текст в кодировке windows-1251.\n".encode("cp1251"))))
    m.append(message(env, common(8, word("Paweł", "iso-8859-2", "Q") + " <pawel@example.pl>",
                                 word("Wizyta w Łodzi", "iso-8859-2", "Q"),
                                 [("Content-Type", "text/plain; charset=iso-8859-2"),
                                  ("Content-Transfer-Encoding", "base64")]),
                     b64("Zażółć gęślą jaźń w Łodzi.\n".encode("iso-8859-2"))))
    m.append(message(env, common(9, "Renée <renee@example.fr>", word("Café crème", "iso-8859-1", "Q"),
                                 [("Content-Type", "text/plain; charset=utf-8"), ("Content-Transfer-Encoding", "8bit")]),
                     "UTF-8 body beside a Latin-1 subject: ½ € ŒŸ ✓ 😀\n".encode("utf-8")))
    for n, cs, subj, body in [(10, "iso-8859-7", "Καλημέρα", "Ελληνικό κείμενο.\n"),
                              (11, "shift_jis", "日本語の件名", "日本語の本文です。\n"),
                              (12, "big5", "中文主題", "這是中文內容。\n"),
                              (13, "gb2312", "简体中文", "这是简体中文。\n"),
                              (14, "iso-2022-jp", "テスト", "これはテストです。\n")]:
        m.append(message(env, common(n, "Sender %d <s%d@example.org>" % (n, n), word(subj, cs),
                                     [("Content-Type", "text/plain; charset=%s" % cs),
                                      ("Content-Transfer-Encoding", "base64")]),
                         b64(body.encode(cs))))
    # 15, 16: MIME preambles, nested parts, attachments.
    m.append(message(env, common(15, "Mia <mia@example.org>", "Mixed with preamble",
                                 [("MIME-Version", "1.0"), ("Content-Type", 'multipart/mixed; boundary="=_b15"')]),
                     b"This is a multi-part message in MIME format.\n\n--=_b15\n"
                     b"Content-Type: text/plain; charset=iso-8859-1\nContent-Transfer-Encoding: quoted-printable\n\n"
                     + qp("Der Text mit Umlauten: äöü ß.\n".encode("latin-1")) +
                     b"\n--=_b15\nContent-Type: application/octet-stream; name=a.bin\n"
                     b"Content-Transfer-Encoding: base64\nContent-Disposition: attachment; filename=a.bin\n\n"
                     + b64(bytes(range(256))) + b"\n--=_b15--\n"))
    m.append(message(env, common(16, "Nils <nils@example.org>", "Nested alternative",
                                 [("MIME-Version", "1.0"), ("Content-Type", "multipart/mixed;\n\tboundary=outer16")]),
                     b"This is a multi-part message in MIME format.\n--outer16\n"
                     b"Content-Type: multipart/alternative;\n boundary=\"inner16\"\n\n--inner16\n"
                     b"Content-Type: text/plain;\n\tcharset=\"utf-8\"\nContent-Transfer-Encoding: 8bit\n\n"
                     + "Der eigentliche Text – mit Gedankenstrich.\n".encode() +
                     b"--inner16\nContent-Type: text/html\n\n<p>HTML</p>\n--inner16--\n--outer16\n"
                     b"Content-Type: image/gif\nContent-Transfer-Encoding: base64\n\nR0lGODlh\n--outer16--\n"))
    # 17: "=" at line ends of a plain 7-bit body is text.
    m.append(message(env, common(17, "Quinn <quinn@example.org>", "Equals signs"),
                     b"Heading\n==========\nA sum: 2 + 2 =\n4 and a line ending in =\nlast line\n"))
    # 18: format=flowed with quotes and DelSp.
    m.append(message(env, common(18, "Flo <flo@example.org>", "Flowed text",
                                 [("Content-Type", "text/plain; charset=utf-8; format=flowed; delsp=yes")]),
                     b"This paragraph is flowed over \nseveral lines and joined by the \nreader.\n"
                     b"> A quoted line that \n> goes on.\n\nSecond paragraph.\n"))
    # 19: a long line and a long name with multi-byte letters near the cut.
    long_line = ("word%d " * 600) % tuple(range(600))
    m.append(message(env, common(19, word("Ŀőŋĝ Ňäɱę Øf Ŝőɱęőŋę Ŵħő Ŵŗįţęş Ŀőŋĝ Ňäɱęş", "utf-8") +
                                 " <long@example.org>", "Long line"),
                     long_line.encode() + b"\nafter the long line\n"))
    # 20: Base64 body without a final line end or padding.
    m.append(message(env, common(20, "Bo <bo@example.org>", "Base64 end",
                                 [("Content-Type", "text/plain; charset=utf-8"), ("Content-Transfer-Encoding", "base64")]),
                     base64.b64encode("Last Base64 line is kept: ✓".encode()).rstrip(b"=")))
    return m


def generated_news():
    arts = []
    envs = ["From uunet!news!alice Tue Mar 14 10:00:00 1995", "From bob  Wed Mar 15 11:30:00 1995",
            "From carol@example.com Thu Mar 16 09:00:00 1995", "From news Fri Mar 17 08:00:00 1995"]
    for n, env in enumerate(envs, 1):
        refs = [("References", "<news1@example.org>")] if n > 1 else []
        arts.append(message(env, [("Path", "news!not-for-mail"), ("From", "Poster %d <p%d@example.org>" % (n, n)),
                                  ("Newsgroups", "fidelity.test"), ("Subject", "Re: Article %d" % n if n > 1 else "Article 1"),
                                  ("Date", "Tue, %d Mar 1995 1%d:00:00 GMT" % (13 + n, n)),
                                  ("Message-ID", "<news%d@example.org>" % n)] + refs,
                            ("Text of article %d.\nA second line.\n" % n).encode()))
    return arts


def eudora_variant(mbox_messages):
    """The plain and flowed mails as an Eudora mailbox: the separator line,
    the header, and the body decoded with Eudora's <x-flowed> marker."""
    out = []
    for raw in mbox_messages:
        msg = email.message_from_bytes(raw.split(b"\n", 1)[1])
        if msg.is_multipart() or msg.get("Content-Transfer-Encoding", "").lower() in ("base64", "quoted-printable"):
            continue
        raw = raw.replace(b"; delsp=yes", b"")  # Eudora's <x-flowed> knows no DelSp
        head, body = raw.split(b"\n\n", 1)
        head = b"From ???@??? Mon Jan 03 12:00:00 2000\n" + head.split(b"\n", 1)[1]
        if "format=flowed" in msg.get("Content-Type", ""):
            body = b"<x-flowed>\n" + body.rstrip(b"\n") + b"\n</x-flowed>\n\n"
        out.append((raw, head + b"\n\n" + body))
    return out


def generate(outdir):
    os.makedirs(outdir, exist_ok=True)
    mails = generated_mails()
    lf = b"".join(mails)

    def write(name, data):
        path = os.path.join(outdir, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    ref = write("generated.mbox", lf)
    corpora = [
        {"name": "generated-lf", "format": "Generic Mail Type 2", "files": [ref], "reference": ref, "strict": True},
        {"name": "generated-crlf", "format": "Generic Mail Type 2",
         "files": [write("generated-crlf.mbox", lf.replace(b"\n", b"\r\n"))], "reference": ref, "strict": True},
        {"name": "generated-cr", "format": "Generic Mail Type 2",
         "files": [write("generated-cr.mbox", lf.replace(b"\n", b"\r"))], "reference": ref, "strict": True},
    ]
    pairs = eudora_variant(mails)
    eref = write("eudora-reference.mbox", b"".join(p[0] for p in pairs))
    corpora.append({"name": "generated-eudora", "format": "Eudora",
                    "files": [write("In.mbx", b"".join(p[1] for p in pairs))], "reference": eref, "strict": True})
    news = write("generated-news.txt", b"".join(generated_news()))
    corpora.append({"name": "generated-news", "format": "Unix News", "files": [news], "reference": news,
                    "news": True, "strict": True})
    with open(os.path.join(outdir, "manifest.json"), "w") as f:
        json.dump(corpora, f, indent=1)


def realworld(root, outdir):
    os.makedirs(outdir, exist_ok=True)
    corpora = []
    mbox = os.path.join(root, "mbox", "perl-Mail-Box_mbox.src")
    if os.path.exists(mbox):
        corpora.append({"name": "real-perl-mbox", "format": "Generic Mail Type 2", "files": [mbox], "reference": mbox,
                        "strict": True})
    eud = os.path.join(root, "eudora", "win_eudora71", "In.mbx")
    if os.path.exists(eud):
        corpora.append({"name": "real-eudora71", "format": "Eudora", "files": [eud], "reference": eud, "strict": True})
    spool = os.path.join(root, "news", "inn_synthetic_spool")
    if os.path.isdir(spool):
        files = sorted((os.path.join(spool, n) for n in os.listdir(spool)), key=lambda p: int(os.path.basename(p)))
        corpora.append({"name": "real-inn-spool", "format": "Unix News", "files": files, "reference_files": files,
                        "news": True, "strict": True})
    with open(os.path.join(outdir, "manifest.json"), "w") as f:
        json.dump(corpora, f, indent=1)


# ---- the reference view -----------------------------------------------------------

def raw_bytes(value):
    """A raw value as bytes (8-bit bytes come surrogate-escaped)."""
    if value is None:
        return b""
    if isinstance(value, bytes):
        return value
    try:
        return str(value).encode("ascii", "surrogateescape")
    except UnicodeEncodeError:
        return str(value).encode("utf-8", "surrogateescape")


def raw_all(msg, name):
    """The raw values of a header field, as the parser found them."""
    return [v for n, v in msg.raw_items() if n.lower() == name.lower()]


def raw_header(msg, name):
    values = raw_all(msg, name)
    return values[0] if values else None


def py_charset(name):
    name = (name or "").strip().strip('"').lower()
    # RULE: US-ASCII and ISO-8859-1 are read as Windows-1252, their superset
    # that the mail programs of the time wrote under those labels.
    if name in ("", "us-ascii", "ascii", "iso-8859-1", "latin1", "latin-1", "iso8859-1"):
        return None
    if name in ("gb2312", "gbk"):
        return "gb18030"
    return name


def unlabelled(data):
    # RULE: 8-bit text without a charset is UTF-8 when it is valid UTF-8,
    # else Windows-1252 (the archive's fallback).
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError:
        return data.decode("cp1252", errors="replace")


def decode_bytes(data, charset):
    cs = py_charset(charset)
    if cs is None:
        return data.decode("cp1252", errors="replace") if charset else unlabelled(data)
    try:
        return data.decode(cs, errors="replace")
    except LookupError:
        return unlabelled(data)


def decode_header_text(value, charset=None):
    raw = raw_bytes(value)
    try:
        parts = email.header.decode_header(raw.decode("ascii", "surrogateescape"))
    except Exception:
        return unlabelled(raw)
    out = ""
    for text, cs in parts:
        if isinstance(text, str):
            out += decode_bytes(text.encode("ascii", "surrogateescape"), charset)
        else:
            out += decode_bytes(text, cs or charset)
    return out


def normal(s):
    return re.sub(r"\s+", " ", s or "").strip()


def cut_bytes(s, n, at_word=False):
    b = s.encode("utf-8")
    if len(b) <= n:
        return s
    cut = b[:n].decode("utf-8", errors="ignore")
    if at_word and b[len(cut.encode()):len(cut.encode()) + 1] != b" " and " " in cut:
        blank = cut.rfind(" ")
        if len(cut[:blank].encode()) >= n // 2:
            cut = cut[:blank]
    return cut.rstrip(" ")


class HtmlText(html.parser.HTMLParser):
    """HTML to text as the archive does it: text data outside TITLE, STYLE and
    SCRIPT; a link's address follows its text in brackets (RULE: the archive
    keeps link addresses); list items start with "* "."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.out, self.skip, self.href = [], 0, None

    def handle_starttag(self, tag, attrs):
        if tag in ("title", "style", "script"):
            self.skip += 1
        elif tag == "a":
            self.href = dict(attrs).get("href")
        elif tag == "li":
            self.out.append(" * ")
        elif tag in ("br", "p", "div", "tr", "td"):
            self.out.append(" ")

    def handle_endtag(self, tag):
        if tag in ("title", "style", "script"):
            self.skip = max(0, self.skip - 1)
        elif tag == "a" and self.href:
            self.out.append(" [%s] " % re.sub(r"\s", "", self.href).lower())
            self.href = None
        elif tag == "html":
            self.skip += 1000  # RULE: nothing after </HTML> is text

    def handle_data(self, data):
        if not self.skip:
            self.out.append(data)


def html_text(s):
    p = HtmlText()
    p.feed(s[s.find("<"):] if "<" in s else s)
    return "".join(p.out)


def unwrap_flowed(text, delsp):
    out, para, depth = [], None, None
    for line in text.split("\n"):
        d = len(line) - len(line.lstrip(">"))
        line = line[d:]
        if line.startswith(" "):
            line = line[1:]
        if para is not None and d != depth:
            out.append(">" * depth + (" " if depth and para else "") + para)
            para = None
        flowed = line.endswith(" ") and line != "-- "
        para = (para or "") + (line[:-1] if flowed and delsp else line)
        depth = d
        if not flowed:
            out.append(">" * d + (" " if d and para else "") + para)
            para = None
    if para is not None:
        out.append(">" * depth + (" " if depth and para else "") + para)
    return "\n".join(out)


def eudora_markers(text):
    """RULE (Eudora): bodies are stored decoded, marked with <x-html> (the
    text is HTML) or <x-flowed> (flowed text)."""
    m = re.search(r"^<x-html>[ \t\r]*$(.*?)(^</x-html>[ \t\r]*$|\Z)", text, re.S | re.M)
    if m:
        return html_text(m.group(1))
    return re.sub(r"^<x-flowed>[ \t\r]*\n(.*?)^</x-flowed>[ \t\r]*$",
                  lambda f: unwrap_flowed(f.group(1).replace("\r\n", "\n").rstrip("\n"), False), text,
                  flags=re.S | re.M)


def chosen_text(msg, eudora):
    """The first text/plain or text/html part that is no attachment (the
    archive's choice; RULE: without one, the preamble)."""
    if eudora:
        if msg.is_multipart():
            # The parts are gone (Eudora keeps attachments apart): all the
            # parser sees is the preamble.
            return eudora_markers(unlabelled(raw_bytes(msg.preamble or "")))
        else:
            text = decode_bytes(msg.get_payload(decode=True) or b"", msg.get_content_charset())
        if msg.get_content_type() == "text/html":
            return html_text(text)
        return eudora_markers(text)
    for part in msg.walk():
        if part.is_multipart():
            continue
        ctype = part.get_content_type()
        if ctype not in ("text/plain", "text/html") or part.get_content_disposition() == "attachment":
            continue
        data = part.get_payload(decode=True) or b""
        text = decode_bytes(data, part.get_content_charset())
        if ctype == "text/html":
            return html_text(text)
        if part.get_param("format", "").lower() == "flowed":
            text = unwrap_flowed(text.replace("\r\n", "\n"), part.get_param("delsp", "").lower() == "yes")
        return text
    return msg.preamble or ""


def addresses(msg, names):
    vals = [raw_bytes(v).decode("ascii", "surrogateescape") for n in names for v in raw_all(msg, n)]
    return {a.lower() for _, a in email.utils.getaddresses(vals) if a} - {OWNER}


def reference_fields(msg, corpus):
    charset = msg.get_content_charset() if not msg.is_multipart() else None
    frm = email.utils.getaddresses([raw_bytes(raw_header(msg, "From")).decode("ascii", "surrogateescape")])
    name, addr = frm[0] if frm else ("", "")
    name = normal(decode_header_text(name, charset)) if name else ""
    subject = decode_header_text(raw_header(msg, "Subject"), charset)
    subject = re.sub(r"\r?\n(?=[ \t])", "", subject).strip()  # unfolded
    # RULE: one leading "Re:" leaves the subject (the thread heading).
    subject = re.sub(r"^re:\s*", "", subject, count=1, flags=re.I)
    # RULE: a mail keeps 50 bytes of its subject, a thread heading 100.
    subject = normal(cut_bytes(subject, SUBJECT_BYTES if corpus.get("news") else MAIL_SUBJECT_BYTES))
    parsed = email.utils.parsedate_tz(normal(raw_bytes(raw_header(msg, "Date")).decode("ascii", "replace")))
    # RULE: the date and time are kept as written; the time zone is not applied.
    d = "%04d-%02d-%02d" % parsed[:3] if parsed else ""
    t = "%02d:%02d" % parsed[3:5] if parsed else ""
    # The Eudora rules apply where the reference is the Eudora mailbox itself.
    text = chosen_text(msg, corpus["format"] == "Eudora" and corpus.get("reference") in corpus["files"])
    return {
        "sender name": person_name(cut_bytes(name, NAME_BYTES, True), addr, raw_header(msg, "From") is not None,
                                   corpus.get("news")),
        "sender address": addr.lower(),
        # RULE: news articles are addressed to their group, not to persons.
        "recipients": None if corpus.get("news") else addresses(msg, ["To", "Cc"]),
        "subject": subject,
        "date": d,
        # RULE: news articles are kept with their date only.
        "time": None if corpus.get("news") else t,
        "text": normal(text)[:TEXT_CHARS],
    }


DERIVED = "\0derived:"


def person_name(name, address, has_from, news):
    """RULE: a sender is kept as a person: the last word of the name is the
    last name, the words before it the first name, each at most 25 bytes. A
    sender without a name is named by the address before its "@" (first
    letter in capitals) in mail (the news address rule leaves it without a
    name); a message without a sender by "Name Unknown"."""
    name = normal(name)
    if not has_from:
        return "Name Unknown"
    if not name and address and not news:
        # (a person is found by address and keeps the name first met for it:
        # the letter case of such a name is not compared)
        name = DERIVED + address.split("@")[0]
    if " " not in name:
        return cut_bytes(name, PERSON_BYTES)
    first, last = name.rsplit(" ", 1)
    return normal(cut_bytes(first, PERSON_BYTES) + " " + cut_bytes(last, PERSON_BYTES))


def reference_messages(corpus):
    if "reference_files" in corpus:
        msgs = []
        for path in corpus["reference_files"]:
            with open(path, "rb") as f:
                data = f.read()
            if b"\n" in data:
                # RULE: in a file whose lines end with LF, a CR within a line
                # is a blank, not a line end (news servers write such header
                # fields); Python's parser would end the header there.
                head, sep, body = data.partition(b"\n\n")
                data = re.sub(rb"\r(?!\n)", b" ", head) + sep + body
            msgs.append(email.message_from_bytes(data))
        return msgs
    return list(mailbox.mbox(corpus["reference"], create=False))


def stored_fields(obj, corpus):
    frm = obj.get("from", "")
    m = re.match(r"^(.*?)\s*<([^<>]*)>$", frm)
    name, addr = (m.group(1), m.group(2)) if m else (frm, "")
    recips = None
    if not corpus.get("news"):
        recips = {a.lower() for a in re.findall(r"<([^<>]+)>", obj.get("to", ""))}
        for c in obj.get("copies", []):
            recips |= {a.lower() for a in re.findall(r"<([^<>]+)>", c)}
        recips -= {OWNER}
    return {
        "sender name": normal(name),
        "sender address": addr.lower(),
        "recipients": recips,
        "subject": normal(obj.get("subject", "")),
        "date": obj.get("date", ""),
        "time": obj.get("time", ""),
        "text": normal(obj.get("text", ""))[:TEXT_CHARS],
    }


def compare(manifest, dumps):
    with open(manifest) as f:
        corpora = json.load(f)
    failed = False
    for corpus in corpora:
        dump = os.path.join(dumps, corpus["name"] + ".json")
        if not os.path.exists(dump):
            print("%s: no dump, skipped" % corpus["name"])
            continue
        with open(dump, encoding="utf-8") as f:
            stored = json.load(f)
        refs = reference_messages(corpus)
        ours = [stored_fields(o, corpus) for o in stored]
        theirs = [reference_fields(m, corpus) for m in refs]
        if corpus.get("news"):
            # RULE: an article is shown under its thread's heading; a reply
            # (References) joins the thread of the article it answers when
            # that one is filed in the same newsgroup.
            heading = {}
            for m, ref in zip(refs, theirs):
                group = str(m.get("Newsgroups", "")).split(",")[0].strip()
                refs_ = str(m.get("References", "")).split()
                root = heading.get((group, refs_[-1])) if refs_ else None
                if root is not None:
                    ref["subject"] = root
                heading[(group, str(m.get("Message-ID", "")).strip())] = ref["subject"]
        matches = {f: 0 for f in FIELDS}
        total = max(len(theirs), 1)
        matches["count"] = total if len(ours) == len(theirs) else 0
        lines = []
        for i, ref in enumerate(theirs):
            got = ours[i] if i < len(ours) else None
            for f in FIELDS[1:]:
                want = ref[f]
                if f == "sender name" and want and want.startswith(DERIVED) and got is not None:
                    same = got[f].lower() == want[len(DERIVED):].lower()
                else:
                    same = got is not None and (want is None or got[f] == want)
                if same:
                    matches[f] += 1
                else:
                    lines.append("  message %d %s:\n    python: %r\n    stored: %r" %
                                 (i + 1, f, ref[f], got[f] if got else None))
        rates = ", ".join("%s %.0f%%" % (f, 100.0 * matches[f] / total) for f in FIELDS)
        print("%s (%s, %d messages, %d stored): %s" % (corpus["name"], corpus["format"], len(theirs), len(ours), rates))
        for l in lines:
            print(l)
        if corpus.get("strict") and any(matches[f] < total for f in FIELDS):
            failed = True
    return 1 if failed else 0


def main(argv):
    if len(argv) >= 2 and argv[0] == "generate":
        generate(argv[1])
        return 0
    if len(argv) >= 3 and argv[0] == "realworld":
        realworld(argv[1], argv[2])
        return 0
    if len(argv) >= 3 and argv[0] == "compare":
        return compare(argv[1], argv[2])
    print(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
