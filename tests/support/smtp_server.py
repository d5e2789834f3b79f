#!/usr/bin/python3
"""A real SMTP server on the loopback address for the mail tests.

Prints its port on the first line of stdout, then serves until it is killed. Every mail it takes
is written to OUT/N.eml (the message as received) and OUT/N.env (MAIL FROM, each RCPT and the
log-on used, one per line).

  --out DIR            where the mails go (required)
  --login USER:PASS    require AUTH before MAIL and accept only this user and password
  --refuse ADDRESS     answer 550 to RCPT of this address (may be given more than once)
  --stall              accept connections and never answer (no greeting)
  --stall-data         answer everything up to the end of the data, then never answer
"""
import argparse
import warnings
import asyncio
import logging
import os
import sys

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--out", required=True)
    p.add_argument("--login")
    p.add_argument("--refuse", action="append", default=[])
    p.add_argument("--stall", action="store_true")
    p.add_argument("--stall-data", action="store_true")
    a = p.parse_args()
    warnings.simplefilter("ignore")
    logging.disable(logging.WARNING)  # the server's notes on plain-text log-on
    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    counter = [0]
    logins = {}

    class Handler:
        async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
            if address in a.refuse:
                return "550 5.1.1 <%s>: Recipient address rejected" % address
            envelope.rcpt_tos.append(address)
            return "250 OK"

        async def handle_DATA(self, server, session, envelope):
            counter[0] += 1
            base = os.path.join(a.out, str(counter[0]))
            login, mechanism = logins.get(id(session), ("", ""))
            with open(base + ".eml.tmp", "wb") as f:
                f.write(envelope.original_content)
            with open(base + ".env", "w") as f:
                f.write("MAIL " + envelope.mail_from + "\n")
                for r in envelope.rcpt_tos:
                    f.write("RCPT " + r + "\n")
                f.write("AUTH " + login + " " + mechanism + "\n")
            os.rename(base + ".eml.tmp", base + ".eml")
            if a.stall_data:
                await asyncio.sleep(3600)
            return "250 Message accepted"

    def authenticator(server, session, envelope, mechanism, auth_data):
        if not isinstance(auth_data, LoginPassword) or not a.login:
            return AuthResult(success=False, handled=False)
        user, password = a.login.split(":", 1)
        ok = auth_data.login.decode() == user and auth_data.password.decode() == password
        if ok:
            logins[id(session)] = (user, mechanism)
        return AuthResult(success=ok, handled=False)

    if a.stall:
        async def silent(reader, writer):
            await asyncio.sleep(3600)
        server = loop.run_until_complete(asyncio.start_server(silent, "127.0.0.1", 0))
    else:
        def factory():
            smtp = SMTP(Handler(), hostname="qvtest", auth_require_tls=False,
                        auth_required=bool(a.login), authenticator=authenticator if a.login else None)
            return smtp
        server = loop.run_until_complete(loop.create_server(factory, "127.0.0.1", 0))
    print(server.sockets[0].getsockname()[1], flush=True)
    loop.run_forever()


if __name__ == "__main__":
    sys.exit(main())
