#!/usr/bin/env python3
"""mbox archives in and matching mails out, against Python's mailbox module as the independent
reader and writer: the mails of an mbox it writes (LF, and a CR LF copy), the mails of an export
read back, .eml files read by the email package, and exports that must leave nothing behind.

Usage: mbox_test.py TARSEL_SEARCH
"""
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

MARK = b"\x7f \x7f"
DATE = "Tue, 07 Dec 1999 12:34:56 +0900"


def message(subject, body, cte="8bit", sender="ann@example.org"):
    msg = EmailMessage()
    msg["From"] = sender
    msg["Subject"] = subject
    msg["Date"] = DATE
    msg.set_content(body, cte=cte)
    return msg


MESSAGES = [
    message("kiwi first", "kiwi\nFrom the start of a line\n>From quoted once\n>>From twice\n"),
    message("none", "nothing to find\n"),
    message("会議 kiwi", "月例の会議です kiwi\n", cte="base64"),
    message("kiwi last", "From kiwi at the end\n\nFrom after an empty line\n"),
]
MATCHING = [0, 2, 3]  # of "kiwi"


def unquoted(data):
    """One '>' fewer before each quoted From_ line, as a reader of mboxrd takes it."""
    return re.sub(rb"(?m)^>(>*From )", rb"\1", data)


def run(program, *args, limit=None):
    def limited():
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)  # a write past the limit then fails
        resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))
    return subprocess.run([program, *args], capture_output=True, timeout=60,
                          preexec_fn=limited if limit else None)


def search(program, archive, flags=(), show=None):
    args = ["--json", *flags] + (["--show", str(show)] if show else []) + [archive, "kiwi"]
    done = run(program, *args)
    return json.loads(done.stdout), done.returncode


def body_text(out):
    return "".join(run["text"] for run in out["body"]).replace("\r\n", "\n").rstrip("\n")


def check_reading(program, archive, failures):
    """The mails, rows and bodies of an mbox are those Python reads, in both modes."""
    mails = list(mailbox.mbox(archive, factory=lambda f: email.message_from_binary_file(
        f, policy=policy.default)))
    raw = list(mailbox.mbox(archive))
    for flags in ((), ("--decoded",)):
        out, status = search(program, archive, flags)
        subjects = [row["subject"] for row in out["rows"]]
        # The raw mode decodes the encoded words of ISO-2022-JP only.
        want = [str(mails[m]["subject"]) if flags else raw[m]["subject"] for m in MATCHING]
        if status != 0 or out["mails"] != len(mails) or subjects != want:
            failures.append("%s %s: %d mails, rows %r, status %d" % (
                archive, flags, out["mails"], subjects, status))
        for position, m in enumerate(MATCHING, 1):
            if m == 2 and not flags:
                continue  # base64: the raw mode shows it as it stands
            shown = body_text(search(program, archive, flags, position)[0])
            content = mails[m].get_content().replace("\r\n", "\n")
            want = unquoted(content.encode()).decode().rstrip("\n")
            if shown != want:
                failures.append("%s %s mail %d shows %r, expected %r" % (
                    archive, flags, position, shown, want))


def check_export(program, tmp, archives, expected, failures):
    """--export mbox read back by mailbox.mbox, and --export eml read by email."""
    target = os.path.join(tmp, "out.mbox")
    done = run(program, "--export", "mbox", target, *archives, "kiwi")
    got = mailbox.mbox(target)
    if done.returncode != 0 or len(got) != len(expected):
        failures.append("export of %d mails: status %d, %d read back, %r" % (
            len(expected), done.returncode, len(got), done.stderr))
        return
    for key, (want, sender) in zip(got.keys(), expected):
        data = got.get_bytes(key)
        if data.endswith(b"\r\n\r\n"):
            data = data[:-2]  # Python's reader keeps the empty line before a From_ line of CR LF
        if unquoted(data) != want or got[key].get_from().rstrip("\r") != sender:
            failures.append("exported mail %r from %r, expected %r from %r" % (
                got.get_bytes(key), got[key].get_from(), want, sender))
    folder = os.path.join(tmp, "eml")
    done = run(program, "--export", "eml", folder, *archives, "kiwi")
    names = sorted(os.listdir(folder)) if os.path.isdir(folder) else []
    if done.returncode != 0 or names != ["%05d.eml" % i for i in range(1, len(expected) + 1)]:
        failures.append("eml export: status %d, files %r" % (done.returncode, names))
        return
    for name, (want, _) in zip(names, expected):
        with open(os.path.join(folder, name), "rb") as f:
            data = f.read()
        if data != want or email.message_from_bytes(data).as_bytes() != \
                email.message_from_bytes(want).as_bytes():
            failures.append("%s holds %r, expected %r" % (name, data, want))


def check_refusals(program, tmp, archive, failures):
    """Existing targets, targets that cannot be made and a full disk: status 2, nothing left."""
    existing = os.path.join(tmp, "kept.mbox")
    with open(existing, "wb") as f:
        f.write(b"kept")
    holding = os.path.join(tmp, "holding")
    os.mkdir(holding)
    with open(os.path.join(holding, "00002.eml"), "wb") as f:
        f.write(b"kept")
    cases = [  # (format, target, file size limit, what the folder must then hold)
        ("mbox", existing, None, {"kept.mbox"}),
        ("eml", holding, None, {"00002.eml"}),
        ("eml", existing, None, {"kept.mbox"}),
        ("mbox", os.path.join(tmp, "missing", "out.mbox"), None, set()),
        ("mbox", os.path.join(tmp, "full.mbox"), 600, set()),
        ("eml", os.path.join(tmp, "full"), 100, set()),
    ]
    for fmt, target, limit, left in cases:
        before = set(os.listdir(tmp))
        done = run(program, "--export", fmt, target, archive, "kiwi", limit=limit)
        parent = target if os.path.isdir(target) else os.path.dirname(target)
        after = set(os.listdir(tmp))
        held = set(os.listdir(parent)) if os.path.isdir(parent) and parent != tmp else left
        kept = open(existing, "rb").read() == b"kept"
        if done.returncode != 2 or after != before or held != left or not kept or \
                b"tarsel-search: " not in done.stderr:
            failures.append("export %s %s (limit %s): status %d, %r, left %r" % (
                fmt, target, limit, done.returncode, done.stderr, after ^ before))


def main():
    program = sys.argv[1]
    failures = []
    with tempfile.TemporaryDirectory() as tmp:
        lf = os.path.join(tmp, "lf.mbox")
        box = mailbox.mbox(lf)
        for msg in MESSAGES:
            box.add(msg)
        box.flush()
        box.close()
        crlf = os.path.join(tmp, "crlf")  # no name says that it is an mbox
        with open(lf, "rb") as f, open(crlf, "wb") as g:
            g.write(f.read().replace(b"\n", b"\r\n"))
        for archive in (lf, crlf):
            check_reading(program, archive, failures)

        marked = os.path.join(tmp, "marked.mbx")
        with open(marked, "wb") as f:
            f.write(b"".join(MARK + b"\r\n" + msg.as_bytes(policy=policy.SMTP)
                             for msg in MESSAGES))
        source = mailbox.mbox(lf)
        keys = list(source.keys())
        expected = [(source.get_bytes(keys[m]), source[keys[m]].get_from()) for m in MATCHING]
        expected += [(MESSAGES[m].as_bytes(policy=policy.SMTP),
                      "MAILER-DAEMON Tue Dec  7 12:34:56 1999") for m in MATCHING]
        check_export(program, tmp, [lf, marked], expected, failures)
        check_refusals(program, tmp, lf, failures)
    for failure in failures:
        print("FAIL", failure)
    print("%d failures" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
