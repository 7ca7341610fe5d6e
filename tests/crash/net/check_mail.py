#!/usr/bin/python3
"""Reads every message the SMTP peers saved (mail-*.eml in the folder given, the bench's
KOLVANE_NET_PEERS) with Python's email package, a reader independent of the component's own:
each must be a multipart/mixed message without defects, its text part must decode in the charset
it names, and every attachment must decode from base64. Run after test_crash_net inside the same
scripts/net-run.sh, before the folder goes away. Exit status 1 on the first bad message."""
import email
import email.policy
import pathlib
import sys


def check(path):
    msg = email.message_from_bytes(path.read_bytes(), policy=email.policy.default)
    if msg.get_content_type() != "multipart/mixed":
        return f"content type {msg.get_content_type()}"
    for part in msg.walk():
        if part.defects:
            return f"defects {part.defects} in {part.get_content_type()}"
        if part.is_multipart():
            continue
        if part.get_content_disposition() == "attachment":
            if part.get("Content-Transfer-Encoding", "").lower() != "base64":
                return "attachment not in base64"
            part.get_payload(decode=True)
            if part.defects:
                return f"attachment {part.get_filename()}: {part.defects}"
        elif part.get_content_type() == "text/plain":
            charset = part.get_content_charset()
            if not charset:
                return "text part without charset"
            part.get_payload(decode=True).decode(charset)  # raises when the bytes do not fit
    return None


def main():
    folder = pathlib.Path(sys.argv[1])
    mails = sorted(folder.glob("mail-*.eml"))
    for path in mails:
        problem = check(path)
        if problem:
            print(f"check_mail: {path.name}: {problem}")
            return 1
    print(f"check_mail: {len(mails)} messages read")
    return 0


if __name__ == "__main__":
    sys.exit(main())
