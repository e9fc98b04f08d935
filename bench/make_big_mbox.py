#!/usr/bin/env python3
"""Writes a large mbox with Python's mailbox module from the mails of a mixed archive (the mail
mark's format, as make_mixed_archive.py writes it), adding them over and over until the file
has about SIZE bytes. Each copy of a mail gets its own Message-ID, so no two mails are alike;
even copies are written with LF line ends as a Unix mail client keeps them, odd copies keep the
archive's CR LF. Some multipart mails get a preamble line beginning "From ", which the writer
quotes as ">From " (mboxo), and the From_ lines vary the way common writers make them.

Usage: make_big_mbox.py SIZE_BYTES MIXED_ARCHIVE MBOX
"""
import email.parser
import email.utils
import mailbox
import os
import sys
import time

MARK = b"\x7f \x7f"


def read_mails(path):
    """The mails of the archive with what their From_ line needs: sender and time."""
    with open(path, "rb") as f:
        data = f.read()
    parser = email.parser.BytesHeaderParser()
    mails = []
    for chunk in data.split(MARK)[1:]:
        headers = parser.parsebytes(chunk)
        sender = email.utils.parseaddr(headers.get("From", ""))[1] or "MAILER-DAEMON"
        parsed = email.utils.parsedate_tz(headers.get("Date", ""))
        stamp = email.utils.mktime_tz(parsed) if parsed else 0
        multipart = headers.get_content_maintype() == "multipart"
        mails.append((chunk, sender.encode("ascii", "replace"), stamp, multipart))
    return mails


def from_line(sender, stamp, variant):
    when = time.gmtime(stamp)
    if variant == 1:  # a time zone before the year
        text = time.strftime("%a %b %e %H:%M:%S +0000 %Y", when)
    else:
        text = time.asctime(when)
    return b"From " + sender + b" " + text.encode("ascii")


def main():
    size, source, target = int(sys.argv[1]), sys.argv[2], sys.argv[3]
    mails = read_mails(source)
    # Written under another name first: a run cut short leaves no file that looks complete.
    partial = target + ".partial"
    if os.path.exists(partial):
        os.remove(partial)
    box = mailbox.mbox(partial, create=True)
    written = 0
    count = 0
    copy = 0
    while written < size:
        for index, (chunk, sender, stamp, multipart) in enumerate(mails):
            head, sep, body = chunk.partition(b"\r\n\r\n")
            message_id = b"Message-ID: <%d.%d@copies.example.jp>\r\n" % (copy, index)
            if multipart and index % 7 == 0:
                body = b"From copy %d of this mail\r\n" % copy + body
            mail = message_id + head + sep + body
            if copy % 2 == 0:
                mail = mail.replace(b"\r\n", b"\n")
            line = from_line(sender, stamp + copy * 86400, (copy + index) % 3 == 1)
            box.add(line + b"\n" + mail)
            written += len(line) + len(mail) + 2
            count += 1
            if written >= size:
                break
        copy += 1
    box.flush()
    box.close()
    os.replace(partial, target)
    print("%s: %d mails, %d bytes" % (target, count, os.path.getsize(target)))


if __name__ == "__main__":
    main()
