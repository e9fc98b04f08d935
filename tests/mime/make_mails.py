#!/usr/bin/env python3
"""Writes a small mail archive with Python's email package and, for each mail, how often each
test word occurs in what that package's reader decodes (Subject, From, shown text parts).

Usage: make_mails.py ARCHIVE EXPECTED_JSON
"""
import base64
import quopri
import re
import json
import sys
from email import policy
from email import base64mime, quoprimime
from email.header import Header, decode_header
from email.message import Message
from email.message import EmailMessage
from email.mime.application import MIMEApplication
from email.mime.message import MIMEMessage
from email.mime.multipart import MIMEMultipart
from email.mime.text import MIMEText
from email.parser import BytesParser
from html.parser import HTMLParser

MARK = b"\x7f \x7f"
WORDS = ["検索", "メール", "Tarsel", "café", "😀絵", "ShouldFind AcrossLines", "über", "soft\xadhyphen",
         "검색", "a b"]
SMTP = policy.SMTP

CODECS = {"shift_jis": "cp932", "iso-2022-jp": "iso-2022-jp", "euc-jp": "euc_jp"}


def text_part(body, charset, cte="8bit"):
    """A text/plain part in exactly that charset (MIMEText would recode Japanese charsets to
    ISO-2022-JP) and transfer encoding."""
    payload = body.encode(CODECS.get(charset, charset))
    part = Message()
    part["MIME-Version"] = "1.0"
    part["Content-Type"] = 'text/plain; charset="%s"' % charset
    part["Content-Transfer-Encoding"] = cte
    if cte == "quoted-printable":
        part.set_payload(quopri.encodestring(payload).decode("ascii"))
    elif cte == "base64":
        part.set_payload(base64.encodebytes(payload).decode("ascii"))
    else:
        part.set_payload(payload.decode("ascii", "surrogateescape"))
    return part


def encoded_word(text, charset, q=False):
    data = text.encode(CODECS.get(charset, charset))
    if q:
        return quoprimime.header_encode(data, charset)
    return base64mime.header_encode(data, charset)


def headers(msg, subject, sender, charset="utf-8"):
    if charset == "utf-8":
        msg["Subject"] = Header(subject, charset).encode()
    else:
        msg["Subject"] = encoded_word(subject, charset, charset == "euc-jp")
    msg["From"] = sender
    msg["Date"] = "Tue, 7 Dec 2021 12:34:56 +0900"
    return msg


def split_subject(word, charset):
    """A long subject whose encoder splits the word between two encoded words."""
    for pad in range(0, 60):
        subject = "あ" * pad + word + "い" * 20
        encoded = Header(subject, charset).encode(maxlinelen=76)
        # decode_header joins adjacent words: look at the words one by one.
        pieces = []
        for w in encoded.split():
            (b, c), = decode_header(w)
            pieces.append(b.decode(c))
        if any(p.endswith(word[0]) for p in pieces[:-1]):
            return encoded
    raise SystemExit("no split found")


def mails():
    out = []
    m = text_part("これは検索のテストです。メールを検索します。\n", "iso-2022-jp", "7bit")
    out.append(headers(m, "検索について", "=?iso-2022-jp?B?GyRCJWEhPCVrGyhC?= <a@example.jp>",
                       "iso-2022-jp"))
    out.append(headers(text_part("シフトJISの検索本文\n検索\n", "shift_jis", "base64"),
                       "シフトJIS メール", "b@example.jp", "shift_jis"))
    out.append(headers(text_part("EUC-JPの本文で検索とメール\n", "euc-jp", "quoted-printable"),
                       "EUC メール", "c@example.jp", "euc-jp"))
    # The word's bytes straddle the first base64 line break (57 bytes a line).
    body = "x" * 55 + "検索" + " and Tarsel\n" * 3
    out.append(headers(text_part(body, "utf-8", "base64"), "base64 line break", "d@example.jp"))
    out.append(headers(text_part("emoji 😀絵文字 café café\n", "utf-8", "quoted-printable"),
                       "QP café", "e@example.jp"))
    out.append(headers(text_part("8bit 検索検索 Tarsel\n", "utf-8", "8bit"), "8bit",
                       "f@example.jp"))
    out.append(headers(text_part("latin café\n", "iso-8859-1"), "latin", "g@example.jp"))

    alt = MIMEMultipart("alternative")
    alt.attach(MIMEText("plain 検索 once\n", "plain", "utf-8"))
    alt.attach(MIMEText("<p>html 検索 検索 twice</p>", "html", "utf-8"))
    out.append(headers(alt, "alternative", "h@example.jp"))

    alt = MIMEMultipart("alternative")
    alt.attach(MIMEText("<div>only html: 検<b>索</b> &amp; Tars&#101;l</div>", "html",
                        "shift_jis"))
    out.append(headers(alt, "html only", "i@example.jp"))

    mixed = MIMEMultipart("mixed")
    mixed.attach(MIMEText("see the attachments\n", "plain", "utf-8"))
    mixed.attach(MIMEApplication("検索 Tarsel メール".encode("utf-8"), "octet-stream"))
    note = MIMEText("検索 in an attached text\n", "plain", "utf-8")
    note.add_header("Content-Disposition", "attachment", filename="note.txt")
    mixed.attach(note)
    out.append(headers(mixed, "attachments only", "j@example.jp"))

    m = text_part("short body\n", "utf-8")
    m["Subject"] = split_subject("検索", "utf-8")
    m["From"] = "k@example.jp"
    out.append(m)
    m = text_part("short body\n", "iso-2022-jp")
    m["Subject"] = split_subject("メール", "iso-2022-jp")
    m["From"] = "l@example.jp"
    out.append(m)

    # HTML as a browser shows it: hidden elements, references of every kind, collapsed blanks.
    page = ("<html><head><title>検索</title><style>p {}</style></head><body>\n"
            "<p>ShouldFind\n   AcrossLines &uuml;ber caf&eacute; &#x1F600;&#x7D75; soft&shy;hyphen"
            " &#0; &#xD800; &#x110000;</p><pre>keep   Tarsel\n  lines</pre>"
            "<script>検索 Tarsel</script></body></html>")
    alt = MIMEMultipart("alternative")
    alt.attach(MIMEText(page, "html", "utf-8"))
    out.append(headers(alt, "html page", "m@example.jp"))

    raw = []
    for charset, body in (("utf-8", "生の UTF-8 検索\n"), ("cp932", "生の CP932 検索 メール\n"),
                          ("iso-2022-jp", "生の JIS 検索\n")):
        raw.append(b"From: raw@example.jp\r\nSubject: no charset\r\nMIME-Version: 1.0\r\n"
                   b"Content-Type: text/plain\r\nContent-Transfer-Encoding: 8bit\r\n\r\n" +
                   body.encode(charset).replace(b"\n", b"\r\n"))
    crlf = [m.as_bytes(policy=SMTP) for m in out] + raw
    # Some of them again as mailers write them with bare LF or bare CR line ends.
    other = [crlf[i].replace(b"\r\n", end) for i in (0, 3, 7, 11) for end in (b"\n", b"\r")]
    return crlf + other + read_as_a_client()


def bytes_part(payload, ctype):
    """A part of exactly these bytes, in base64."""
    part = Message()
    part["Content-Type"] = ctype
    part["Content-Transfer-Encoding"] = "base64"
    part.set_payload(base64.encodebytes(payload).decode("ascii"))
    return part


def forwarded(inner, disposition=None):
    part = MIMEMessage(inner)
    if disposition:
        part.add_header("Content-Disposition", disposition)
    return part


def read_as_a_client():
    """Forwarded mails, alternatives, digests, NULs, broken and aliased charsets."""
    out = []
    inner = headers(text_part("forwarded 検索 body\n", "utf-8"), "über den Tarsel",
                    "=?utf-8?b?" + base64.b64encode("café".encode()).decode() + "?= <x@example.jp>")
    for disposition in ("attachment", None):
        mixed = MIMEMultipart("mixed")
        mixed.attach(MIMEText("see the forwarded mail\n", "plain", "utf-8"))
        mixed.attach(forwarded(inner, disposition))
        out.append(headers(mixed, "fwd", "n@example.jp"))
    # A forwarded mail with its own alternatives and attachment, forwarded again.
    alt = MIMEMultipart("alternative")
    alt.attach(MIMEText("inner plain stub\n", "plain", "utf-8"))
    alt.attach(MIMEText("<p>inner html メール</p>", "html", "utf-8"))
    mixed = MIMEMultipart("mixed")
    mixed.attach(alt)
    note = MIMEText("検索 attached\n", "plain", "utf-8")
    note.add_header("Content-Disposition", "attachment", filename="n.txt")
    mixed.attach(note)
    middle = MIMEMultipart("mixed")
    middle.attach(forwarded(headers(mixed, "innermost メール", "Tarsel <y@example.jp>")))
    out.append(headers(MIMEMessage(headers(middle, "middle 検索", "z@example.jp")), "outer",
                       "o@example.jp"))
    # Nested a hundred deep: only what lies within the bound is read.
    nested = headers(text_part("deepest Tarsel\n", "utf-8"), "level Tarsel", "p@example.jp")
    for _ in range(100):
        nested = headers(MIMEMessage(nested), "level Tarsel", "p@example.jp")
    out.append(nested)
    # A plain stub beside the HTML; two plain forms beside an HTML one.
    alt = MIMEMultipart("alternative")
    alt.attach(MIMEText("This message is in HTML.\n", "plain", "utf-8"))
    alt.attach(MIMEText("<p>über <b>Tarsel</b> 検索</p>", "html", "utf-8"))
    alt.attach(MIMEText("<p>second html über</p>", "html", "utf-8"))
    out.append(headers(alt, "stub", "q@example.jp"))
    alt = MIMEMultipart("alternative")
    alt.attach(MIMEText("first plain 検索 Tarsel\n", "plain", "utf-8"))
    alt.attach(MIMEText("second plain Tarsel café\n", "plain", "utf-8"))
    alt.attach(MIMEText("<p>html メール 検索 検索</p>", "html", "utf-8"))
    out.append(headers(alt, "two plain", "r@example.jp"))
    # A digest's parts without a type are mails.
    digest = MIMEMultipart("digest")
    for n in range(2):
        part = MIMEMessage(headers(text_part("digest 検索 %d\n" % n, "utf-8"), "メール %d" % n,
                                   "s@example.jp"))
        del part["Content-Type"]
        del part["MIME-Version"]
        digest.attach(part)
    out.append(headers(digest, "digest", "t@example.jp"))
    # A NUL in decoded text, an invalid EUC-JP sequence, charsets under other labels, a boundary
    # longer than the standard allows.
    out.append(headers(text_part("a\0b Tarsel\0café\n", "utf-8", "quoted-printable"), "nul",
                       "u@example.jp"))
    euc = "検索の前".encode("euc_jp") + b"\xa1\x21" + "メールの後 検索\n".encode("euc_jp")
    out.append(headers(bytes_part(euc, "text/plain; charset=euc-jp"), "euc", "v@example.jp"))
    for label, codec, text in (("ks_c_5601-1987", "cp949", "검색 Tarsel"),
                               ("unicode-1-1-utf-7", "utf-7", "über 検索"),
                               ("ms_kanji", "cp932", "メール 検索")):
        out.append(headers(bytes_part(text.encode(codec), "text/plain; charset=" + label),
                           "label", "w@example.jp"))
    mixed = MIMEMultipart("mixed", boundary="=_" + "long" * 25)
    mixed.attach(MIMEText("long boundary Tarsel\n", "plain", "utf-8"))
    # Written as a quoted parameter on a line of its own, not split into numbered pieces.
    long_boundary = headers(mixed, "boundary", "x@example.jp").as_bytes(
        policy=policy.compat32.clone(linesep="\r\n"))
    return [m.as_bytes(policy=SMTP) for m in out] + [long_boundary]


BLOCKS = {"br","p","div","li","tr","h1","h2","h3","h4","h5","h6","table","blockquote","ul","ol","dd","dt","hr","pre","section","article","header","footer","dl","address","nav"}
HIDDEN = {"script","style","head","title"}
SPACE = " \t\r\n\f"
class BrowserText(HTMLParser):
    """The text a browser lays out: hidden elements dropped, blanks collapsed outside pre,
    blocks on lines of their own, no blank lines."""
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.out = []; self.hidden = 0; self.pre = 0; self.space = False; self.line = False
    def end_line(self):
        self.space = False
        if self.line:
            self.out.append("\n"); self.line = False
    def handle_starttag(self, tag, attrs):
        if tag in HIDDEN: self.hidden += 1; return
        if tag == "pre": self.end_line(); self.pre += 1
        elif tag in BLOCKS: self.end_line()
    def handle_startendtag(self, tag, attrs):
        if tag in HIDDEN: return
        if tag in BLOCKS: self.end_line()
    def handle_endtag(self, tag):
        if tag in HIDDEN: self.hidden = max(self.hidden - 1, 0); return
        if tag == "pre": self.end_line(); self.pre = max(self.pre - 1, 0)
        elif tag in BLOCKS: self.end_line()
    def handle_data(self, data):
        if self.hidden: return
        for c in data:
            if self.pre:
                self.out.append(c); self.line = c not in "\r\n"
            elif c in SPACE:
                self.space = self.line
            else:
                if self.space: self.out.append(" "); self.space = False
                self.out.append(c); self.line = True
    def text(self):
        self.close()
        return "".join(self.out).rstrip("\r\n")
def browser_text(html):
    # A page that ends inside a tag shows nothing of it, as in a browser.
    m = re.search(r"<[/!?a-zA-Z][^>]*$", html)
    if m:
        html = html[:m.start()]
    p = BrowserText(); p.feed(html); return p.text()


def decode_text(payload, charset):
    if charset is None:
        if b"\x1b$B" in payload:
            charset = "iso-2022-jp"
        else:
            try:
                return payload.decode("utf-8")
            except UnicodeDecodeError:
                charset = "cp932"
    return payload.decode(CODECS.get(charset.lower(), charset), "replace")


MAX_DEPTH = 32


def holds(texts, word):
    return any(word in t for t in texts)


def shown_parts(part, word, depth=0):
    """The texts a reader shows of a part; of alternatives the one that the word chooses."""
    ctype = part.get_content_type()
    if ctype == "message/rfc822":
        if depth >= MAX_DEPTH:
            return []
        inner = part.get_payload(0)
        lines = [str(inner[f] or "").replace("\0", " ") for f in ("from", "subject")]
        return [t for t in lines if t] + shown_parts(inner, word, depth + 1)
    if part.is_multipart():
        if depth >= MAX_DEPTH:
            return []
        if part.get_content_subtype() != "alternative":
            return [t for c in part.get_payload() for t in shown_parts(c, word, depth + 1)]
        # The last plain one when it holds the word, else the first other that does, else
        # that plain one, else the first.
        shown = [c for c in part.get_payload() if c.get_content_disposition() != "attachment"
                 and (c.get_content_maintype() in ("text", "multipart")
                      or c.get_content_type() == "message/rfc822")]
        plains = [c for c in shown if c.get_content_type() == "text/plain"]
        order = plains[-1:] + [c for c in shown if c not in plains[-1:]]
        for c in order:
            texts = shown_parts(c, word, depth + 1)
            if holds(texts, word):
                return texts
        return shown_parts(order[0], word, depth + 1) if order else []
    if part.get_content_disposition() == "attachment" or part.get_content_maintype() != "text":
        return []
    text = decode_text(part.get_payload(decode=True), part.get_content_charset())
    if part.get_content_subtype() == "html":
        text = browser_text(text)
    return [text.replace("\0", " ")]


def count(text, word):
    return sum(1 for i in range(len(text)) if text.startswith(word, i))


def main():
    archive, expected = sys.argv[1], sys.argv[2]
    result = []
    with open(archive, "wb") as f:
        for mail in mails():
            f.write(MARK + mail)
            msg = BytesParser(policy=policy.default).parsebytes(mail)
            heads = [str(msg["subject"] or ""), str(msg["from"] or "")]
            result.append({w: sum(count(t, w) for t in heads + shown_parts(msg, w))
                           for w in WORDS})
    with open(expected, "w", encoding="utf-8") as f:
        json.dump({"words": WORDS, "mails": result}, f, ensure_ascii=False, indent=1)


if __name__ == "__main__":
    main()
