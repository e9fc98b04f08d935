#!/usr/bin/env python3
"""Writes an archive of today's mail mix with Python's email package: UTF-8 bodies in base64,
quoted-printable and 8bit, Shift_JIS, EUC-JP and ISO-2022-JP bodies, multipart/alternative
with HTML, and binary attachments. A tenth of the mails carry the word in a place a reader
sees; some more carry it only in an attachment. Next to the archive, a JSON file lists the
mails (by order) in which a reader sees the word.

Usage: make_mixed_archive.py SIZE_BYTES ARCHIVE TRUTH_JSON [WORD [SEEN_SHARE]]
SEEN_SHARE (default 0.1) is the share of the mails in which a reader sees the word.
"""
import base64
import json
import quopri
import random
import sys
from email import base64mime, policy, quoprimime
from email.header import Header
from email.message import Message
from email.mime.application import MIMEApplication
from email.mime.multipart import MIMEMultipart
from email.mime.text import MIMEText

MARK = b"\x7f \x7f"
CODECS = {"shift_jis": "cp932", "iso-2022-jp": "iso-2022-jp", "euc-jp": "euc_jp", "utf-8": "utf-8"}
WORDS = ("会議 資料 確認 予定 連絡 担当 案件 提出 対応 変更 共有 調整 報告 発送 請求 見積 "
         "サーバ メール 添付 ファイル 予算 結果 お願い 本日 明日 来週 よろしく 了解 よろしくお願いします "
         "meeting report schedule update invoice project review release").split()


def sentence(rng, word, put):
    words = [rng.choice(WORDS) for _ in range(rng.randint(8, 20))]
    if put:
        words.insert(rng.randrange(len(words) + 1), word)
    return "、".join(words) + "。"


def body_text(rng, word, put):
    lines = [sentence(rng, word, False) for _ in range(rng.randint(3, 25))]
    if put:
        lines[rng.randrange(len(lines))] = sentence(rng, word, True)
    return "\n".join(lines) + "\n"


def text_part(text, charset, cte, subtype="plain"):
    payload = text.encode(CODECS[charset])
    part = Message()
    part["Content-Type"] = 'text/%s; charset="%s"' % (subtype, charset)
    part["Content-Transfer-Encoding"] = cte
    if cte == "base64":
        part.set_payload(base64.encodebytes(payload).decode("ascii"))
    elif cte == "quoted-printable":
        part.set_payload(quopri.encodestring(payload).decode("ascii"))
    else:
        part.set_payload(payload.decode("ascii", "surrogateescape"))
    return part


def subject_of(rng, word, put, charset):
    text = sentence(rng, word, put)[:rng.randint(8, 40)]
    if put and word not in text:
        text = word + text
    data = text.encode(CODECS[charset])
    if charset == "utf-8":
        return Header(text, "utf-8").encode(), word in text
    if charset == "euc-jp":
        return quoprimime.header_encode(data, charset), word in text
    return base64mime.header_encode(data, charset), word in text


def one_mail(rng, word, share):
    kind = rng.random()
    seen = rng.random() < share          # the word where a reader sees it
    hidden = not seen and rng.random() < 0.03  # the word only in an attachment
    in_subject = seen and rng.random() < 0.3
    in_body = seen and not in_subject
    charsets = ["utf-8"] * 6 + ["shift_jis", "shift_jis", "euc-jp", "iso-2022-jp", "iso-2022-jp"]
    charset = rng.choice(charsets)
    if kind < 0.12 or hidden:
        mail = MIMEMultipart("mixed")
        mail.attach(text_part(body_text(rng, word, in_body), "utf-8", "base64"))
        blob = rng.randbytes(rng.randint(2000, 40000))
        if hidden:
            blob += ("…" + word + "…").encode("utf-8") + blob[:200]
        mail.attach(MIMEApplication(blob, "octet-stream", Name="data.bin"))
    elif kind < 0.3:
        mail = MIMEMultipart("alternative")
        text = body_text(rng, word, in_body)
        mail.attach(text_part(text, "utf-8", "quoted-printable"))
        html = "<html><body>" + "".join("<p>%s</p>" % l for l in text.splitlines()) + "</body></html>"
        mail.attach(text_part(html, "utf-8", "base64", "html"))
    else:
        cte = {"utf-8": rng.choice(["base64", "quoted-printable", "8bit"]),
               "shift_jis": rng.choice(["8bit", "base64"]), "euc-jp": "8bit",
               "iso-2022-jp": "7bit"}[charset]
        mail = text_part(body_text(rng, word, in_body), charset, cte)
        mail["MIME-Version"] = "1.0"
    subject, word_in_subject = subject_of(rng, word, in_subject,
                                          "utf-8" if charset == "utf-8" else charset)
    mail["Subject"] = subject
    mail["From"] = "%s <user%d@example.jp>" % (
        Header(rng.choice(["山田太郎", "佐藤花子", "鈴木一郎", "Taro Yamada"]), "utf-8").encode(),
        rng.randint(1, 999))
    mail["Date"] = "Tue, %d Mar 2025 %02d:%02d:00 +0900" % (rng.randint(1, 28), rng.randint(0, 23),
                                                          rng.randint(0, 59))
    return mail.as_bytes(policy=policy.SMTP), in_body or word_in_subject


def main():
    size, archive, truth = int(sys.argv[1]), sys.argv[2], sys.argv[3]
    word = sys.argv[4] if len(sys.argv) > 4 else "検索"
    share = float(sys.argv[5]) if len(sys.argv) > 5 else 0.1
    rng = random.Random(1)
    containing = []
    written = 0
    count = 0
    with open(archive, "wb") as f:
        while True:
            mail, has = one_mail(rng, word, share)
            if written + len(MARK) + len(mail) > size:
                break
            f.write(MARK + mail)
            written += len(MARK) + len(mail)
            if has:
                containing.append(count)
            count += 1
    with open(truth, "w", encoding="utf-8") as f:
        json.dump({"word": word, "mails": count, "containing": containing}, f)


if __name__ == "__main__":
    main()
