#!/usr/bin/env python3
"""mbox in and matching mails out, against Python's mailbox module as the independent reader
and writer. Usage: mbox_test.py TARSEL_SEARCH"""
import email
import json
import mailbox
import os
import re
import resource
import signal
import subprocess
import sys
import tempfile
from email import policy
from email.message import EmailMessage


def message(subject, body, cte="8bit"):
    msg = EmailMessage()
    msg["From"], msg["Subject"], msg["Date"] = "ann@example.org", subject, DATE
    msg.set_content(body, cte=cte)
    return msg


DATE = "Tue, 07 Dec 1999 12:34:56 +0900"
MESSAGES = [
    message("kiwi first", "kiwi\nFrom the start of a line\n>From quoted once\n>>From twice\n"),
    message("none", "nothing to find\n"),
    message("会議 kiwi", "月例の会議です kiwi\n", cte="base64"),
    message("kiwi last", "From kiwi at the end\n\nFrom after an empty line\n"),
]
MATCHING = [0, 2, 3]  # of "kiwi"


def unquoted(data):  # as a reader of mboxrd takes the quoted From_ lines
    return re.sub(rb"(?m)^>(>*From )", rb"\1", data)


def run(program, *args, limit=None):
    def limited():
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)  # a write past the limit then fails
        resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))
    return subprocess.run([program, *args, "kiwi"], capture_output=True, timeout=60,
                          preexec_fn=limited if limit else None)


def check_reading(program, archive, failures):
    """Counters, rows and bodies (both modes) are those of the mails Python reads."""
    mails = list(mailbox.mbox(archive, factory=lambda f: email.message_from_binary_file(
        f, policy=policy.default)))
    raw = list(mailbox.mbox(archive))
    for flags in ([], ["--decoded"]):
        out = json.loads(run(program, "--json", *flags, archive).stdout)
        # The raw mode decodes the encoded words of ISO-2022-JP only.
        want = [str(mails[m]["subject"]) if flags else raw[m]["subject"] for m in MATCHING]
        if out["mails"] != len(mails) or [row["subject"] for row in out["rows"]] != want:
            failures.append("%s %s: %r" % (archive, flags, out))
        for position, m in enumerate(MATCHING, 1):
            if m == 2 and not flags:
                continue  # base64: the raw mode shows it as it stands
            out = json.loads(run(program, "--json", *flags, "--show", str(position),
                                 archive).stdout)
            shown = "".join(run["text"] for run in out["body"]).replace("\r\n", "\n")
            content = unquoted(mails[m].get_content().replace("\r\n", "\n").encode()).decode()
            if shown.rstrip("\n") != content.rstrip("\n"):
                failures.append("%s %s mail %d: %r, not %r" % (archive, flags, position, shown,
                                                                content))


def check_export(program, tmp, archives, expected, failures):
    """--export mbox read back by mailbox.mbox, and --export eml read by email."""
    target = os.path.join(tmp, "out.mbox")
    done = run(program, "--export", "mbox", target, *archives)
    got = mailbox.mbox(target)
    if done.returncode != 0 or len(got) != len(expected):
        failures.append("export: status %d, %d mails, %r" % (done.returncode, len(got),
                                                              done.stderr))
        return
    for key, (want, sender) in zip(got.keys(), expected):
        data = got.get_bytes(key)
        if data.endswith(b"\r\n\r\n"):
            data = data[:-2]  # Python's reader keeps the empty line before a From_ line of CR LF
        if unquoted(data) != want or got[key].get_from().rstrip("\r") != sender:
            failures.append("exported %r from %r" % (data, got[key].get_from()))
    folder = os.path.join(tmp, "eml")
    done = run(program, "--export", "eml", folder, *archives)
    for i, ((want, _), m) in enumerate(zip(expected, MATCHING * 2), 1):
        name = os.path.join(folder, "%05d.eml" % i)
        data = open(name, "rb").read() if os.path.exists(name) else b""
        read = email.message_from_bytes(data, policy=policy.default)
        if data != want or read["subject"] != MESSAGES[m]["subject"]:
            failures.append("%s holds %r, not %r" % (name, data, want))
    if done.returncode != 0 or len(os.listdir(folder)) != len(expected):
        failures.append("eml export: status %d, %r" % (done.returncode, os.listdir(folder)))


def check_refusals(program, tmp, archive, failures):
    """Existing targets, targets that cannot be made, a full disk: status 2, nothing left."""
    existing, holding = os.path.join(tmp, "kept.mbox"), os.path.join(tmp, "holding")
    open(existing, "wb").write(b"kept")
    os.mkdir(holding)
    open(os.path.join(holding, "00002.eml"), "wb").write(b"kept")
    cases = [  # (format, target, file size limit)
        ("mbox", existing, None), ("eml", holding, None), ("eml", existing, None),
        ("mbox", os.path.join(tmp, "missing", "out.mbox"), None),
        ("mbox", os.path.join(tmp, "full.mbox"), 600), ("eml", os.path.join(tmp, "full"), 100),
    ]
    for fmt, target, limit in cases:
        before = set(os.listdir(tmp))
        done = run(program, "--export", fmt, target, archive, limit=limit)
        if done.returncode != 2 or set(os.listdir(tmp)) != before or \
                os.listdir(holding) != ["00002.eml"] or open(existing, "rb").read() != b"kept" \
                or b"tarsel-search: " not in done.stderr:
            failures.append("export %s %s (limit %s): status %d, %r" % (
                fmt, target, limit, done.returncode, done.stderr))


def check_large(program, tmp, failures):
    """mbox files past one load's capacities: more than 100,000 mails in under 100 MB, and over
    100,000,000 bytes. A mailbox-written base file, repeated, gives counts and places known
    from Python's reading of the base."""
    base = os.path.join(tmp, "base.mbox")
    box = mailbox.mbox(base)
    for i in range(100):
        box.add(message("kiwi %d" % i if i % 4 == 0 else "note %d" % i,
                        "line %d\n" % i * (1 + i % 7) + ("kiwi kiwi\n" if i % 8 == 0 else "")))
    box.close()
    data = open(base, "rb").read()
    starts = [m.start() for m in re.finditer(rb"(?:^|\n\n)(?=From )", data)]
    starts = [s + 2 if s else 0 for s in starts]
    assert len(starts) == len(mailbox.mbox(base)) == 100
    bodies = [s + data[s:].index(b"\n\n") + 2 for s in starts]
    texts = [data[s:e] for s, e in zip(starts, starts[1:] + [len(data)])]
    hits = sum(t.count(b"kiwi") for t in texts)
    matching = [i for i, t in enumerate(texts) if b"kiwi" in t]
    for name, copies in (("small-mails", 1300), ("large", 100000000 // len(data) + 20)):
        archive = os.path.join(tmp, name)
        with open(archive, "wb") as f:
            for _ in range(copies):
                f.write(data)
        size = os.path.getsize(archive)
        pages = (copies * len(matching) + 19) // 20
        done = subprocess.run([program, "--json", "--page", str(pages), archive, "kiwi"],
                              capture_output=True, timeout=600)
        out = json.loads(done.stdout or b"{}")
        last = (copies - 1) * len(data) + bodies[matching[-1]]
        want = (copies * 100, copies * hits, copies * len(matching), "0x%x" % last)
        got = (out.get("mails"), out.get("hits"), out.get("matching"),
               out.get("rows", [{}])[-1].get("address"))
        if done.returncode != 0 or got != want:
            failures.append("%s (%d bytes): %r, not %r; %r" % (name, size, got, want,
                                                               done.stderr[-300:]))
        if name == "large":
            target = os.path.join(tmp, "large-out.mbox")
            done = subprocess.run([program, "--export", "mbox", target, archive, "kiwi"],
                                  capture_output=True, timeout=600)
            got = mailbox.mbox(target)
            if done.returncode != 0 or len(got) != copies * len(matching) or \
                    got.get_bytes(got.keys()[-1]) != mailbox.mbox(base).get_bytes(matching[-1]):
                failures.append("large export: status %d, %d mails" % (done.returncode,
                                                                      len(got)))


def main():
    program = sys.argv[1]
    failures = []
    with tempfile.TemporaryDirectory() as tmp:
        lf, crlf = os.path.join(tmp, "lf.mbox"), os.path.join(tmp, "crlf")  # names say nothing
        box = mailbox.mbox(lf)
        for msg in MESSAGES:
            box.add(msg)
        box.close()
        open(crlf, "wb").write(open(lf, "rb").read().replace(b"\n", b"\r\n"))
        for archive in (lf, crlf):
            check_reading(program, archive, failures)

        marked = os.path.join(tmp, "marked.mbx")
        open(marked, "wb").write(b"".join(b"\x7f \x7f\r\n" + msg.as_bytes(policy=policy.SMTP)
                                          for msg in MESSAGES))
        source = mailbox.mbox(lf)
        keys = list(source.keys())
        expected = [(source.get_bytes(keys[m]), source[keys[m]].get_from()) for m in MATCHING]
        expected += [(MESSAGES[m].as_bytes(policy=policy.SMTP),
                      "MAILER-DAEMON Tue Dec  7 12:34:56 1999") for m in MATCHING]
        check_export(program, tmp, [lf, marked], expected, failures)
        check_refusals(program, tmp, lf, failures)
        check_large(program, tmp, failures)
    for failure in failures:
        print("FAIL", failure)
    print("%d failures" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
