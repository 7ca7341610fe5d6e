#!/usr/bin/python3
"""The peers of the delivery tests, on 127.0.0.1 inside the test's network namespace
(scripts/net-run.sh starts them): SMTP servers and a DNS responder that record what they get
into the folder named by the first argument. Writes "ready" there once everything listens."""
import base64
import os
import socket
import sys
import threading

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword
from dnslib import CNAME, MX, QTYPE, RCODE, RR, A, DNSRecord
from dnslib.server import BaseResolver, DNSServer

FOLDER = sys.argv[1]
HOST = "127.0.0.1"


def record(name, line):
    with open(os.path.join(FOLDER, name), "a", encoding="latin-1", newline="\n") as f:
        f.write(line + "\n")


class LoggingSMTP(SMTP):
    """Writes every command line it receives to smtp-<port>.log."""

    def __init__(self, handler, port, **kwargs):
        super().__init__(handler, **kwargs)
        self.kv_port = port

    async def _handle_client(self):
        try:
            await super()._handle_client()
        finally:
            record(f"smtp-{self.kv_port}.log", "--")

    def _log_line(self, line):
        record(f"smtp-{self.kv_port}.log", line)

    async def smtp_HELO(self, arg):
        self._log_line("HELO " + (arg or ""))
        return await super().smtp_HELO(arg)

    async def smtp_EHLO(self, arg):
        self._log_line("EHLO " + (arg or ""))
        return await super().smtp_EHLO(arg)

    async def smtp_RSET(self, arg):
        self._log_line("RSET" + (" " + arg if arg else ""))
        return await super().smtp_RSET(arg)

    async def smtp_MAIL(self, arg):
        self._log_line("MAIL " + (arg or ""))
        return await super().smtp_MAIL(arg)

    async def smtp_RCPT(self, arg):
        self._log_line("RCPT " + (arg or ""))
        return await super().smtp_RCPT(arg)

    async def smtp_DATA(self, arg):
        self._log_line("DATA" + (" " + arg if arg else ""))
        return await super().smtp_DATA(arg)

    async def smtp_QUIT(self, arg):
        self._log_line("QUIT")
        return await super().smtp_QUIT(arg)


class AuthLoginSMTP(LoggingSMTP):
    """AUTH LOGIN without TLS, its base64 lines logged as they come."""

    async def challenge_auth(self, challenge, encode_to_b64=True, log_client_response=False):
        response = await super().challenge_auth(challenge, encode_to_b64, log_client_response)
        if isinstance(response, bytes):
            # Logged as the client sent it: base64 (aiosmtpd hands it over decoded).
            self._log_line(base64.b64encode(response).decode("ascii"))
        return response

    async def smtp_AUTH(self, arg):
        self._log_line("AUTH " + (arg or ""))
        return await super().smtp_AUTH(arg)


class NoAuthSMTP(LoggingSMTP):
    """Answers 502 to AUTH, and to the lines a client sends after it, as a server without AUTH."""

    async def smtp_AUTH(self, arg):
        self._log_line("AUTH " + (arg or ""))
        await self.push("502 5.5.1 Command not implemented")


class Handler:
    def __init__(self, port):
        self.port = port
        self.count = 0

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.split("@")[0].lower() == "reject":
            return "550 5.1.1 No such user"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(FOLDER, f"mail-{self.port}-{self.count}")
        with open(base + ".eml", "wb") as f:
            f.write(envelope.original_content or b"")
        with open(base + ".txt", "w", encoding="latin-1") as f:
            f.write("from " + (envelope.mail_from or "") + "\n")
            for to in envelope.rcpt_tos:
                f.write("to " + to + "\n")
        return "250 Message accepted"


def authenticator(server, session, envelope, mechanism, auth_data):
    ok = (isinstance(auth_data, LoginPassword) and auth_data.login == b"kolvane"
          and auth_data.password == b"secret")
    return AuthResult(success=ok)


class KvController(Controller):
    def __init__(self, port, smtp_class, **smtp_kwargs):
        self.kv_port = port
        self.kv_class = smtp_class
        self.kv_kwargs = smtp_kwargs
        super().__init__(Handler(port), hostname=HOST, port=port)

    def factory(self):
        return self.kv_class(self.handler, self.kv_port, **self.kv_kwargs)


class Resolver(BaseResolver):
    def resolve(self, request, handler):
        qname = str(request.q.qname).rstrip(".").lower()
        qtype = QTYPE[request.q.qtype]
        record("dns.log", f"{qname} {qtype}")
        reply = request.reply()
        if qname == "silent.test":
            return None
        if qname == "nxdomain.test":
            reply.header.rcode = RCODE.NXDOMAIN
        elif qname == "example.test" and qtype == "MX":
            reply.add_answer(RR(request.q.qname, QTYPE.MX, rdata=MX("localhost.", 10), ttl=60))
        elif qname == "cname.test":
            reply.add_answer(RR(request.q.qname, QTYPE.CNAME, rdata=CNAME("localhost."), ttl=60))
            reply.add_answer(RR("localhost.", QTYPE.MX, rdata=MX("localhost.", 10), ttl=60))
        elif qname == "localhost" and qtype in ("A", "ANY"):
            reply.add_answer(RR(request.q.qname, QTYPE.A, rdata=A("127.0.0.1"), ttl=60))
        return reply


def main():
    controllers = [
        KvController(2525, LoggingSMTP),
        KvController(2526, AuthLoginSMTP, authenticator=authenticator, auth_require_tls=False,
                     auth_exclude_mechanism=["PLAIN"]),
        KvController(2527, NoAuthSMTP),
        KvController(25, LoggingSMTP),
    ]
    for c in controllers:
        c.start()

    # dnslib sends whatever resolve() returns; None (a silent domain) must send nothing.
    from dnslib.server import DNSHandler

    class Handler53(DNSHandler):
        def get_reply(self, data):
            request = DNSRecord.parse(data)
            reply = self.server.resolver.resolve(request, self)
            return reply.pack() if reply is not None else None

        def handle(self):
            data = self.request[0]
            try:
                reply = self.get_reply(data)
            except Exception:
                return
            if reply is not None:
                self.request[1].sendto(reply, self.client_address)

    dns = DNSServer(Resolver(), address=HOST, port=53, handler=Handler53)
    dns.start_thread()
    # More peers (web and FTP servers): every module of net-peers.d/ starts its own with
    # start(folder) and returns once they listen.
    extra = os.path.join(os.path.dirname(os.path.abspath(__file__)), "net-peers.d")
    if os.path.isdir(extra):
        import importlib.util
        for name in sorted(os.listdir(extra)):
            if name.endswith(".py"):
                spec = importlib.util.spec_from_file_location(name[:-3], os.path.join(extra, name))
                module = importlib.util.module_from_spec(spec)
                spec.loader.exec_module(module)
                module.start(FOLDER)
    with open(os.path.join(FOLDER, "ready"), "w") as f:
        f.write("ready\n")
    threading.Event().wait()


if __name__ == "__main__":
    main()
