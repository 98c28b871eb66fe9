#!/usr/bin/python3
"""A farm of fake whois servers in one process: registries (one TLD each) and
the registrars they refer to, each listening on port 43 of its own loopback
address. Run it inside the tests' fake internet (scripts/fake-internet, where
it is root and the server names resolve to the 127.x addresses of
tests/fake-internet.hosts); every server listens on the address its name
resolves to there.

  whois_farm.py [options]

  --registries N      the first N registries of the table below (default 10)
  --registrars N      the first N registrars of the table below (default 4)
  --delay MS          each server answers MS milliseconds after the query line
                      came (default 20)
  --rate-limit NAME[=R]
                      the server NAME (a registrar's or a registry's host name,
                      or "registrar:K" for the K-th registrar, 1-based) answers
                      at most R queries a second (default 2, may be a
                      fraction, counted over the last second, notices left
                      out); a query above that gets the rate-limit notice
                      instead of a record. Repeatable.
  --notice TEXT       the rate-limit notice (default "Query rate limit
                      exceeded. Try again later.")
  --stats FILE        the statistics file (below)
  --port PORT         the port of every server (default 43)

Registries (TLD, server; both merrowgate's directory and Debian's whois ask
this server for the TLD):
  biz whois.nic.biz, xyz whois.nic.xyz, me whois.nic.me, online
  whois.nic.online, site whois.nic.site, shop whois.nic.shop, club
  whois.nic.club, top whois.nic.top, tech whois.nic.tech, store whois.nic.store
Registrars (in this order): whois.anvil-names.test, whois.bellwether-reg.test,
  whois.cinder-domains.test, whois.dovetail-names.test,
  whois.ember-registrar.test, whois.fathom-names.test
In tests/fake-internet.hosts the registries are 127.0.43.1 to 127.0.43.10 and
the registrars 127.0.44.1 to 127.0.44.6, in these orders.

The record of a domain follows from its name alone. The first label, split at
"-", may carry tags:
  expN   the domain expires N days from the moment of the query (else it
         expires 400 to 3,400 days ahead, from a hash of the name)
  rK     its registrar is the K-th registrar (1-based, at most --registrars;
         else one of the --registrars, from a hash of the name)
  nx     the domain is not registered ("No match for ..." from the registry)
e.g. "exp30-r2-shop.biz". A registry answers the domains of its own TLD in
the gTLD registry layout ("Registry Expiry Date:", "Registrar WHOIS Server:
whois.<registrar>" ...); a registrar answers its own domains in the registrar
layout ("Registrar Registration Expiration Date:", "Registrar Abuse Contact
Email:" ...) and "No match" for the others. Dates are RFC 3339, UTC.

The statistics file is JSON, written (to a temporary file, then renamed) once
every server listens, at the end of every connection (before the farm closes
it, so a client that saw the end finds its query counted) and on SIGTERM or
SIGINT:
  {"servers": {"whois.nic.biz": {"address": "127.0.43.1", "queries": 12,
   "peak_connections": 2, "notices": 0}, ...},
   "total": {"queries": ..., "notices": ...}}
"queries" counts the query lines read (notices included), "peak_connections"
the most connections the server held open at one time. Its appearance tells
that the farm is ready. SIGUSR1 sets the counters to zero (the peak to the
connections open at that moment) and rewrites the file, so that one farm can
serve runs measured one by one. The farm ends on SIGTERM or SIGINT (exit
status 0).
"""
import argparse
import asyncio
import datetime
import json
import os
import signal
import socket
import sys
import time
import zlib

REGISTRIES = [
    ("biz", "whois.nic.biz"),
    ("xyz", "whois.nic.xyz"),
    ("me", "whois.nic.me"),
    ("online", "whois.nic.online"),
    ("site", "whois.nic.site"),
    ("shop", "whois.nic.shop"),
    ("club", "whois.nic.club"),
    ("top", "whois.nic.top"),
    ("tech", "whois.nic.tech"),
    ("store", "whois.nic.store"),
]

# (host name, registrar name, IANA ID)
REGISTRARS = [
    ("whois.anvil-names.test", "Anvil Names, Inc.", 9101),
    ("whois.bellwether-reg.test", "Bellwether Registrations LLC", 9102),
    ("whois.cinder-domains.test", "Cinder Domains Ltd", 9103),
    ("whois.dovetail-names.test", "Dovetail Names GmbH", 9104),
    ("whois.ember-registrar.test", "Ember Registrar SAS", 9105),
    ("whois.fathom-names.test", "Fathom Names Pty Ltd", 9106),
]

DEFAULT_NOTICE = "Query rate limit exceeded. Try again later."
QUERY_LIMIT = 1024      # bytes of a query line
READ_TIMEOUT = 10.0     # seconds to wait for the query line


def rfc3339(t):
    return datetime.datetime.fromtimestamp(int(t), datetime.timezone.utc).strftime("%Y-%m-%dT%H:%M:%SZ")


class Domain:
    """What the farm knows about a domain name, derived from the name."""

    def __init__(self, name, registrars, now):
        self.name = name
        self.tld = name.rsplit(".", 1)[-1] if "." in name else ""
        h = zlib.crc32(name.encode())
        tags = name.split(".", 1)[0].split("-")
        self.registered = "nx" not in tags and "." in name
        index = h % registrars
        expiry = now + 86400 * (400 + h % 3001)
        for tag in tags:
            if tag.startswith("exp") and tag[3:].isdigit():
                expiry = now + 86400 * int(tag[3:])
            elif tag.startswith("r") and tag[1:].isdigit() and 1 <= int(tag[1:]) <= registrars:
                index = int(tag[1:]) - 1
        self.registrar = REGISTRARS[index]
        self.expiry = expiry
        self.created = now - 86400 * (200 + (h >> 8) % 4000)
        self.updated = now - 86400 * ((h >> 4) % 150)
        self.handle = "D%d-%s" % (h, self.tld.upper())


def common_tail(d):
    host = d.registrar[0][len("whois."):]
    lines = ["Domain Status: clientTransferProhibited https://icann.org/epp#clientTransferProhibited"]
    lines += ["Name Server: NS%d.%s" % (i, host.upper()) for i in (1, 2)]
    lines.append("DNSSEC: unsigned")
    lines.append("URL of the ICANN Whois Inaccuracy Complaint Form: https://www.icann.org/wicf/")
    return lines


def registry_reply(d, now):
    host = d.registrar[0]
    lines = [
        "Domain Name: %s" % d.name.upper(),
        "Registry Domain ID: %s" % d.handle,
        "Registrar WHOIS Server: %s" % host,
        "Registrar URL: http://www.%s" % host[len("whois."):],
        "Updated Date: %s" % rfc3339(d.updated),
        "Creation Date: %s" % rfc3339(d.created),
        "Registry Expiry Date: %s" % rfc3339(d.expiry),
        "Registrar: %s" % d.registrar[1],
        "Registrar IANA ID: %d" % d.registrar[2],
        "Registrar Abuse Contact Email: abuse@%s" % host[len("whois."):],
        "Registrar Abuse Contact Phone: +1.5555550100",
    ] + common_tail(d)
    lines.append(">>> Last update of WHOIS database: %s <<<" % rfc3339(now))
    lines += ["", "The data in this record is provided for information purposes only.", ""]
    return lines


def registrar_reply(d, now):
    host = d.registrar[0]
    site = host[len("whois."):]
    lines = [
        "Domain Name: %s" % d.name.upper(),
        "Registry Domain ID: %s" % d.handle,
        "Registrar WHOIS Server: %s" % host,
        "Registrar URL: http://www.%s" % site,
        "Updated Date: %s" % rfc3339(d.updated),
        "Creation Date: %s" % rfc3339(d.created),
        "Registrar Registration Expiration Date: %s" % rfc3339(d.expiry),
        "Registrar: %s" % d.registrar[1],
        "Registrar IANA ID: %d" % d.registrar[2],
        "Registrar Abuse Contact Email: abuse@%s" % site,
        "Registrar Abuse Contact Phone: +1.5555550100",
        "Registry Registrant ID: REDACTED FOR PRIVACY",
        "Registrant Name: REDACTED FOR PRIVACY",
        "Registrant Organization: Farm Holdings",
        "Registrant Country: US",
        "Registrant Email: Please query the registrar's RDAP service for the registrant's contact.",
    ] + common_tail(d)
    lines.append(">>> Last update of WHOIS database: %s <<<" % rfc3339(now))
    return lines


class Server:
    def __init__(self, farm, name, address, kind, tld=None):
        self.farm, self.name, self.address, self.kind, self.tld = farm, name, address, kind, tld
        self.queries = self.notices = self.open = self.peak = 0
        self.limit = None          # queries a second, or None
        self.answered = []         # times of the answers within the last second

    def over_limit(self, now):
        if self.limit is None:
            return False
        self.answered = [t for t in self.answered if now - t < 1.0]
        if len(self.answered) + 1 > self.limit:
            return True
        self.answered.append(now)
        return False

    def reply(self, query):
        now = time.time()
        name = query.strip().lower().rstrip(".")
        if self.over_limit(now):
            self.notices += 1
            return [self.farm.notice]
        d = Domain(name, self.farm.registrars, now)
        if self.kind == "registry":
            if d.tld != self.tld or not d.registered:
                return ['No match for "%s".' % name.upper(), ">>> Last update of WHOIS database: %s <<<" % rfc3339(now)]
            return registry_reply(d, now)
        if not d.registered or d.registrar[0] != self.name:
            return ["No match for \"%s\"." % name.upper()]
        return registrar_reply(d, now)

    async def handle(self, reader, writer):
        self.open += 1
        self.peak = max(self.peak, self.open)
        try:
            line = await asyncio.wait_for(reader.readline(), READ_TIMEOUT)
            if line:
                self.queries += 1
                text = self.reply(line[:QUERY_LIMIT].decode("utf-8", "replace"))
                await asyncio.sleep(self.farm.delay)
                writer.write(("\r\n".join(text) + "\r\n").encode())
                await writer.drain()
        except (asyncio.TimeoutError, ConnectionError, ValueError):
            pass
        finally:
            # The file is written before the connection ends, so that a client
            # that has seen the end finds its query counted.
            self.open -= 1
            self.farm.write_stats()
            try:
                writer.close()
                await writer.wait_closed()
            except ConnectionError:
                pass


class Farm:
    def __init__(self, args):
        self.delay = args.delay / 1000.0
        self.notice = args.notice
        self.stats = args.stats
        self.registrars = args.registrars
        self.servers = []
        for tld, host in REGISTRIES[:args.registries]:
            self.servers.append(Server(self, host, resolve(host), "registry", tld))
        for host, _, _ in REGISTRARS[:args.registrars]:
            self.servers.append(Server(self, host, resolve(host), "registrar"))
        for given in args.rate_limit:
            name, _, rate = given.partition("=")
            if name.startswith("registrar:"):
                k = int(name[len("registrar:"):])
                if not 1 <= k <= args.registrars:
                    sys.exit("whois_farm: no registrar %d" % k)
                name = REGISTRARS[k - 1][0]
            found = [s for s in self.servers if s.name == name]
            if not found:
                sys.exit("whois_farm: no server named %s" % name)
            found[0].limit = float(rate) if rate else 2.0

    def reset(self):
        for s in self.servers:
            s.queries = s.notices = 0
            s.peak = s.open
        self.write_stats()

    def write_stats(self):
        if not self.stats:
            return
        servers = {s.name: {"address": s.address, "queries": s.queries, "peak_connections": s.peak,
                            "notices": s.notices} for s in self.servers}
        body = {"servers": servers, "total": {"queries": sum(s.queries for s in self.servers),
                                              "notices": sum(s.notices for s in self.servers)}}
        tmp = self.stats + ".tmp"
        with open(tmp, "w") as f:
            json.dump(body, f, sort_keys=True)
            f.write("\n")
        os.replace(tmp, self.stats)

    async def run(self, port):
        listeners = []
        for s in self.servers:
            listeners.append(await asyncio.start_server(s.handle, s.address, port, reuse_address=True, backlog=256,
                                                         limit=QUERY_LIMIT))
        stop = asyncio.Event()
        loop = asyncio.get_running_loop()
        for sig in (signal.SIGTERM, signal.SIGINT):
            loop.add_signal_handler(sig, stop.set)
        loop.add_signal_handler(signal.SIGUSR1, self.reset)
        self.write_stats()
        await stop.wait()
        for listener in listeners:
            listener.close()
        self.write_stats()


def resolve(host):
    try:
        return socket.getaddrinfo(host, None, socket.AF_INET, socket.SOCK_STREAM)[0][4][0]
    except socket.gaierror as e:
        sys.exit("whois_farm: %s does not resolve (%s): run inside scripts/fake-internet" % (host, e))


def main():
    p = argparse.ArgumentParser(description="Fake whois registries and registrars on loopback addresses.")
    p.add_argument("--registries", type=int, default=10, choices=range(1, len(REGISTRIES) + 1), metavar="N")
    p.add_argument("--registrars", type=int, default=4, choices=range(1, len(REGISTRARS) + 1), metavar="N")
    p.add_argument("--delay", type=float, default=20.0, metavar="MS")
    p.add_argument("--rate-limit", action="append", default=[], metavar="NAME[=R]")
    p.add_argument("--notice", default=DEFAULT_NOTICE)
    p.add_argument("--stats", metavar="FILE")
    p.add_argument("--port", type=int, default=43)
    args = p.parse_args()
    farm = Farm(args)
    try:
        asyncio.run(farm.run(args.port))
    except OSError as e:
        sys.exit("whois_farm: %s" % e)


if __name__ == "__main__":
    main()
