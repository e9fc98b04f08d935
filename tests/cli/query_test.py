#!/usr/bin/env python3
"""The decoded search's queries against the reference: an archive written with Python's email
package, one table of queries, and the counters and matching mails of both compared.

Usage: query_test.py TARSEL_SEARCH QUERY_REFERENCE_PY
"""
import bisect
import importlib.util
import json
import os
import re
import subprocess
import sys
import tempfile
from email import policy
from email.message import EmailMessage

MARK = b"\x7f \x7f"
ANN = "Ann <ann@example.org>"
JUNE = "Wed, 15 Jun 2005 10:00:00 +0900"


def mail(subject, body, sender=ANN, date=JUNE, charset="utf-8", cte="8bit", parts=(),
         attachment=None):
    """One mail; parts are further text/plain parts, written as given (no line end added)."""
    msg = EmailMessage()
    msg["Subject"] = subject
    msg["From"] = sender
    msg.set_content(body, charset=charset, cte=cte)
    if parts or attachment:
        if parts:
            msg.set_payload(body)
        msg.make_mixed()
        for text in parts:
            part = EmailMessage()
            part.set_content(text, cte="7bit")
            part.set_payload(text)
            msg.attach(part)
        if attachment:
            msg.add_attachment(attachment, maintype="application", subtype="octet-stream",
                               filename="data.bin")
    data = msg.as_bytes(policy=policy.SMTP)
    # Written by hand: the email package would drop a Date it cannot read.
    return MARK + (b"Date: %s\r\n" % date.encode() if date else b"") + data


MAILS = [
    mail("kiwi report", "mango season is here"),
    mail("kiwi only", "nothing else"),
    mail("papaya news", "lime and kiwi"),
    mail("tropical", "mango papaya lime"),
    mail("fruit seller", "ask about prices", sender="Kiwi Grower <grower@example.org>"),
    mail("会議のお知らせ", "月例\u3000会議を開きます", charset="iso-2022-jp", cte="7bit"),
    mail("議事録", "月例 会議の議事録", charset="shift_jis"),
    mail("予定", "会議は月例です", charset="euc-jp"),
    mail("ご挨拶", "よろしくお願いします", sender="山田 太郎 <taro@example.jp>"),
    mail("山田さんへ", "お元気ですか"),
    mail("連絡", "山田さんから連絡がありました", charset="utf-8", cte="base64"),
    mail("The monthly meeting", "the monthly meeting is on Friday"),
    mail("minutes", "monthly report and meeting notes"),
    mail("attached", "see the file durian", attachment=b"zucchini hidden inside"),
    mail("two parts", "durian spa", parts=["nning durian"]),
    mail("ＦＹＩ notice", "fullwidth"),
    mail("FYI notice", "ascii"),
    mail("fyi lower", "small"),
    mail("server down", "The Server restarted; SERVER ok", cte="quoted-printable"),
    mail("半角", "ﾒｰﾙを送ります 〜 前―後", charset="shift_jis"),
    mail("全角", "メールの件 x‖y", charset="iso-2022-jp", cte="7bit"),
    mail("記号", "範囲 ～ 前—後 X∥Y A－B", cte="quoted-printable"),
    mail("差", "A−B の差", charset="euc-jp"),
    mail("hyphen", "a-b plain"),
    mail("coffee", "Café au lait, Straße", cte="quoted-printable"),
    mail("cafe plain", "a cafe"),
    mail("番号", "番号① と 番号1", cte="base64"),
    mail("コップ", "ガラスのコップ", charset="shift_jis"),
    mail("鳥", "カラスが鳴く"),
    mail("katakana", "ヒラガナ表記 コヽロ"),
    mail("hiragana", "ひらがな表記 こゝろ", cte="base64"),
    mail("ｶﾞﾗｽ細工", "halfwidth subject"),
    mail("a rather long subject line that goes on and on so that the header must fold near here",
         "long"),
    mail("year end", "countdown", date="Sat, 31 Dec 2005 23:30:00 -0800"),
    mail("new year", "countdown", date="Sun, 01 Jan 2006 00:30:00 +0900"),
    mail("june first", "countdown", date="Wed, 01 Jun 2005 09:00:00 +0000"),
    mail("june last", "summer", date="Thu, 30 Jun 2005 23:59:59 +0000"),
    mail("may last", "spring", date="Tue, 31 May 2005 12:00:00 +0900"),
    mail("july first", "summer", date="Fri, 01 Jul 2005 00:00:00 +0900"),
    mail("old mail", "archive", date="15 Jun 99 12:00 +0900"),
    mail("short year", "archive", date="Mon, 3 Jan 05 10:00:00 +0900"),
    mail("twenty twelve", "archive", date="Sun, 01 Jan 2012 00:00:00 +0000"),
    mail("march 2012", "archive", date="Thu, 15 Mar 2012 08:00:00 +0100"),
    mail("after 2012", "archive", date="Tue, 01 Jan 2013 10:00:00 +0900"),
    mail("no date", "countdown", date=None),
    mail("bad date", "countdown", date="someday soon"),
]

CASES = [  # (query, flags)
    ("kiwi mango", ""), ("kiwi\tmango", ""), ("kiwi OR papaya", ""),
    ("kiwi mango OR papaya lime", ""), ("-kiwi papaya", ""), ("mango OR -kiwi", ""),
    ("-from:ann kiwi", ""), ('-"monthly meeting" meeting', ""),
    ("Subject:kiwi", ""), ("件名:山田", ""), ("FROM:kiwi", ""), ("差出人:山田", ""),
    ("body:kiwi", ""), ("本文:山田", ""), ('subject:"monthly meeting"', ""),
    ('"monthly meeting"', ""), ('"月例 会議"', ""), ("月例\u3000会議", ""),
    ('"月例 会議"', "--exact"), ('"header must"', ""),
    ("durian", ""), ("zucchini", ""), ("spanning", ""),
    ("FYI", ""), ("ＦＹＩ", ""), ("FYI", "--exact"), ("ﾒｰﾙ", ""), ("メール", "--exact"),
    ("server", ""), ("Server", "--exact"), ("〜", ""), ("～", ""), ("A−B", ""), ("a－b", ""),
    ("x‖y", ""), ("X∥Y", ""), ("前―後", ""), ("前—後", ""), ("cafe", ""), ("CAFÉ", ""),
    ("cafe", "--exact"), ("STRASSE", ""), ("番号①", ""), ("番号1", "--exact"),
    ("カラス", ""), ("ｶﾞﾗｽ", ""), ("ｶﾞﾗｽ", "--exact"),
    ("ひらがな", ""), ("ひらがな", "--kana"), ("ヒラガナ", "--kana"), ("こゝろ", "--kana"),
    ("date:2005", ""), ("date:2006", ""), ("date:2005-06", ""), ("date:1999", ""),
    ("date:2005-05-31..2005-06-01", ""), ("date:..2005-06", ""), ("date:2012..", ""),
    ("date:2005-07..2006", ""), ("countdown date:2005", ""), ("-date:2005 countdown", ""),
    ("date:2006 OR date:2012-03", ""), ("-date:..2011", ""),
]

REFUSED = [  # (query, what standard error must hold)
    ("-kiwi", "検索する文字列が、入力されていません。"),
    ("date:2012-13", "「date:2012-13」"),
    ("date:20x2 kiwi", "「date:20x2」"),
]


def run(program, archive, query, flags):
    args = [program, "--decoded", "--json", *flags.split(), "--", archive, query]
    return subprocess.run(args, capture_output=True, timeout=120)


def answer(program, archive, starts, query, flags):
    """The program's counters and matching mails (positions from 1), or its failure."""
    done = run(program, archive, query, flags)
    try:
        out = json.loads(done.stdout)
    except ValueError:
        return {"status": done.returncode, "stderr": done.stderr.decode(errors="replace")}
    # A row's address lies in its mail: after the mail's mark, before the next.
    matched = sorted(bisect.bisect_right(starts, int(row["address"], 16)) for row in out["rows"])
    got = {"mails": out["mails"], "hits": out["hits"], "matches": out["matching"],
           "matched": matched}
    if done.returncode != (0 if got["matches"] else 1):
        got["status"] = done.returncode
    return got


def main():
    program, reference_path = sys.argv[1:3]
    found = importlib.util.spec_from_file_location("query_reference", reference_path)
    reference = importlib.util.module_from_spec(found)
    found.loader.exec_module(reference)
    failures = []
    with tempfile.TemporaryDirectory() as tmp:
        archive = os.path.join(tmp, "queries.mbx")
        data = b"".join(MAILS)
        with open(archive, "wb") as f:
            f.write(data)
        starts = [m.start() for m in re.finditer(re.escape(MARK), data)]
        mails = reference.read_archive(archive)
        for query, flags in CASES:
            want = reference.search(mails, query, "--exact" in flags, "--kana" in flags)
            got = answer(program, archive, starts, query, flags)
            if got != want:
                failures.append("%r %s\n  expected %s\n  got      %s" % (
                    query, flags, json.dumps(want, ensure_ascii=False),
                    json.dumps(got, ensure_ascii=False)))
        for query, message in REFUSED:
            try:
                reference.parse(query)
                failures.append("%r: the reference takes it" % query)
            except reference.Refused:
                pass
            done = run(program, archive, query, "")
            stderr = done.stderr.decode(errors="replace")
            if done.returncode == 0 or message not in stderr:
                failures.append("%r: expected a refusal with %s, got status %d, stderr %r" % (
                    query, message, done.returncode, stderr))
        # The query as understood, for scripts: one list per condition, OR's terms in it.
        done = run(program, archive, 'kiwi OR -件名:"a b" date:2012', "")
        understood = json.loads(done.stdout)["query"]
        if understood != [[{"field": "any", "excluded": False, "text": "kiwi"},
                           {"field": "subject", "excluded": True, "text": "a b"}],
                          [{"field": "date", "excluded": False, "text": "2012"}]]:
            failures.append("the query as understood: %s" % json.dumps(understood))
    for failure in failures:
        print("FAIL", failure)
    print("%d of %d cases differ" % (len(failures), len(CASES) + len(REFUSED)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
