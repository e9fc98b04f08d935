#!/usr/bin/env python3
"""What the decoded search should answer for a query, worked out with Python's email package
and unicodedata, apart from the program: the mails of an archive, their hits, the mails that
match and which they are.

Usage: query_reference.py [--exact] [--kana] ARCHIVE QUERY
Prints {"mails": N, "hits": H, "matches": M, "matched": [positions from 1, in file order]};
a refused query prints its message on stderr and exits with 2.
"""
import json
import re
import sys
import unicodedata
from email import policy
from email.parser import BytesParser

MARK = b"\x7f \x7f"
BLANKS = " \t\u3000"
FIELDS = {"subject": "subject", "件名": "subject", "from": "from", "差出人": "from",
          "body": "body", "本文": "body", "date": "date"}
NO_WORD = "検索する文字列が、入力されていません。"
# The characters Japanese charset decoders disagree on, each taken as one form.
PAIRS = str.maketrans({"\u301c": "~", "\uff5e": "~", "\u2212": "-", "\uff0d": "-",
                       "\u2016": "\u2225", "\u2015": "\u2014"})
KANA = str.maketrans({**{c: c + 0x60 for c in range(0x3041, 0x3097)},
                      0x309D: 0x30FD, 0x309E: 0x30FE})
MONTHS = "jan feb mar apr may jun jul aug sep oct nov dec".split()


class Refused(Exception):
    pass


def fold(text, kana=False):
    text = unicodedata.normalize("NFKD", unicodedata.normalize("NFKD", text).casefold())
    text = "".join(c for c in text if not "\u0300" <= c <= "\u036f")
    text = unicodedata.normalize("NFKC", text).translate(PAIRS)
    return text.translate(KANA) if kana else text


def occurrences(text, word):
    """How often word stands in text, overlapping occurrences included."""
    count, at = 0, text.find(word)
    while word and at >= 0:
        count, at = count + 1, text.find(word, at + 1)
    return count


# --- the query -------------------------------------------------------------------------------

def tokens(query):
    """The blank-separated tokens, each a list of (character, quoted)."""
    out, current, quoted, started = [], [], False, False
    for c in query:
        if c == '"':
            quoted, started = not quoted, True
        elif c in BLANKS and not quoted:
            if started:
                out.append(current)
            current, started = [], False
        else:
            current.append((c, quoted))
            started = True
    if started:
        out.append(current)
    return out


def day_of(text, last):
    """yyyymmdd of YYYY, YYYY-MM or YYYY-MM-DD: its first day, or its last when last."""
    m = re.fullmatch(r"(\d{4})(?:-(\d{2})(?:-(\d{2}))?)?", text)
    if not m:
        return None
    year, month, day = int(m[1]), int(m[2] or (12 if last else 1)), int(m[3] or (31 if last else 1))
    if not 1 <= month <= 12 or not 1 <= day <= 31:
        return None
    if m[3] and day > days_in(year, month):
        return None
    return year * 10000 + month * 100 + day


def days_in(year, month):
    if month == 2:
        return 29 if year % 4 == 0 and (year % 100 != 0 or year % 400 == 0) else 28
    return 30 if month in (4, 6, 9, 11) else 31


def ascii_lower(text):
    return "".join(c.lower() if c < "\x80" else c for c in text)


def term(token, exact, kana):
    """{field, excluded, word | first, last} of one token."""
    excluded = len(token) > 1 and token[0] == ("-", False)
    if excluded:
        token = token[1:]
    field, unquoted = "any", ""
    for c, quoted in token:
        if quoted:
            break
        unquoted += c
    for name, target in FIELDS.items():
        if ascii_lower(unquoted[:len(name) + 1]) == name + ":":
            field, token = target, token[len(name) + 1:]
            break
    text = "".join(c for c, _ in token)
    if field != "date":
        return {"field": field, "excluded": excluded, "word": text if exact else fold(text, kana)}
    first, last = text.split("..", 1) if ".." in text else (text, text)
    lo = day_of(first, False) if first else 0
    hi = day_of(last, True) if last else 99999999
    if lo is None or hi is None or not text:
        raise Refused("日付の指定「date:%s」が読めません。" % text)
    return {"field": field, "excluded": excluded, "first": lo, "last": hi}


def parse(query, exact=False, kana=False):
    """The clauses (lists of terms joined by OR) that must all hold."""
    toks = tokens(query)
    clauses, join = [], False
    for i, tok in enumerate(toks):
        is_or = tok == [("O", False), ("R", False)]
        if is_or and clauses and not join and i + 1 < len(toks):
            join = True
            continue
        t = term(tok, exact, kana)
        if t.get("word") == "":
            join = False
            continue  # "" or a field name alone
        if join:
            clauses[-1].append(t)
        else:
            clauses.append([t])
        join = False
    terms = [t for clause in clauses for t in clause]
    if not any(t["field"] == "date" or (not t["excluded"] and t["word"]) for t in terms):
        raise Refused(NO_WORD)
    return clauses


# --- the mails -------------------------------------------------------------------------------

def mail_day(value):
    """yyyymmdd of a Date field as written (its own time zone), or None."""
    m = re.search(r"(?<!\d)(\d{1,2})\s+([A-Za-z]{3})[a-z]*\.?\s+(\d{2}|\d{4})(?!\d)", value or "")
    if not m or m[2].lower() not in MONTHS:
        return None
    day, month, year = int(m[1]), MONTHS.index(m[2].lower()) + 1, int(m[3])
    if len(m[3]) == 2:
        year += 2000 if year < 50 else 1900
    return year * 10000 + month * 100 + day if 1 <= day <= days_in(year, month) else None


def read_mail(data):
    msg = BytesParser(policy=policy.default).parsebytes(data)
    # The Date field as written: the default policy would rewrite it, two-digit years included.
    date = BytesParser(policy=policy.compat32).parsebytes(data, headersonly=True)["date"]
    bodies = [part.get_content() for part in msg.walk()
              if part.get_content_type() == "text/plain"
              and part.get_content_disposition() != "attachment"]
    lf = lambda texts: [str(t or "").replace("\r\n", "\n") for t in texts]
    return {"subject": lf([msg["subject"]]), "from": lf([msg["from"]]), "body": lf(bodies),
            "day": mail_day(str(date)) if date is not None else None}


def read_archive(path):
    with open(path, "rb") as f:
        data = f.read()
    return [read_mail(chunk) for chunk in data.split(MARK)[1:]]


def search(mails, query, exact=False, kana=False):
    clauses = parse(query, exact, kana)
    result = {"mails": len(mails), "hits": 0, "matches": 0, "matched": []}
    for position, mail in enumerate(mails, 1):
        texts = {f: [t if exact else fold(t, kana) for t in mail[f]]
                 for f in ("subject", "from", "body")}
        counts = {}

        def holds(t):
            if t["field"] == "date":
                found = mail["day"] is not None and t["first"] <= mail["day"] <= t["last"]
            else:
                fields = ("subject", "from", "body") if t["field"] == "any" else (t["field"],)
                counts[id(t)] = sum(occurrences(s, t["word"]) for f in fields for s in texts[f])
                found = counts[id(t)] > 0
            return found != t["excluded"]

        verdicts = [[holds(t) for t in clause] for clause in clauses]
        if all(any(v) for v in verdicts):
            result["matches"] += 1
            result["matched"].append(position)
            result["hits"] += sum(counts[id(t)] for c in clauses for t in c
                                  if t["field"] != "date" and not t["excluded"])
    return result


def main(argv):
    flags = {a for a in argv if a in ("--exact", "--kana")}
    args = [a for a in argv if a not in flags]
    if len(args) != 2:
        sys.exit(__doc__)
    try:
        result = search(read_archive(args[0]), args[1], "--exact" in flags, "--kana" in flags)
    except Refused as refusal:
        print(refusal, file=sys.stderr)
        return 2
    print(json.dumps(result, ensure_ascii=False))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
