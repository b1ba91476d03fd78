#!/usr/bin/env python3
"""Loopback servers for the TLS tests of the invisible fetch.

Makes a throw-away certificate authority and server certificates with the openssl command in
DIR, starts the servers on 127.0.0.1 and writes their ports to DIR/ports as NAME=PORT lines once
they listen. Every request that reaches a server is appended to DIR/requests as one JSON line
(server, path, headers) before it is answered. Runs until killed.

  good       https, a certificate for "localhost" from the test authority
  expired    https, the same names, valid only in 2020
  wrongname  https, a certificate for "elsewhere.example"
  untrusted  https, a certificate for "localhost" from an authority nobody trusts
  stall      accepts and reads, never answers: a handshake that never ends
  plain      http

Paths (on every server that answers):
  /redirect/N     302 to /redirect/N-1 on the same server; /redirect/0 answers 200
  /to-https/N     302 to https://localhost:GOOD/redirect/N
  /to-http        302 to http://localhost:PLAIN/ok
  /set-cookies    200 with the cookies s=1 (Secure) and p=2
  anything else   200
"""
import http.server
import json
import os
import socket
import ssl
import subprocess
import sys
import threading
from datetime import datetime, timedelta, timezone

out = sys.argv[1]
os.makedirs(out, exist_ok=True)
lock = threading.Lock()


def openssl(*args):
    subprocess.run(["openssl", *args], cwd=out, check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)


def make_certificates():
    with open(os.path.join(out, "ca.cnf"), "w") as f:
        f.write("""[ca]
default_ca = ca_default
[ca_default]
dir = .
database = index.txt
new_certs_dir = .
serial = serial
default_md = sha256
policy = pol
copy_extensions = copy
unique_subject = no
[pol]
commonName = supplied
[v3_ca]
basicConstraints = critical,CA:true
keyUsage = critical,keyCertSign,cRLSign
subjectKeyIdentifier = hash
[srv]
basicConstraints = critical,CA:false
keyUsage = critical,digitalSignature,keyEncipherment
extendedKeyUsage = serverAuth
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
""")
    open(os.path.join(out, "index.txt"), "w").close()
    with open(os.path.join(out, "serial"), "w") as f:
        f.write("01\n")
    ec = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes"]
    for name, cn in (("ca", "Orvalis Test CA"), ("other", "Other Test CA")):
        openssl("req", "-x509", *ec, "-keyout", name + ".key", "-out", name + ".pem", "-days",
                "30", "-subj", "/CN=" + cn, "-extensions", "v3_ca", "-config", "ca.cnf")
    stamp = lambda t: t.strftime("%y%m%d%H%M%SZ")
    now = datetime.now(timezone.utc)
    fresh = (stamp(now - timedelta(days=1)), stamp(now + timedelta(days=20)))
    local = "DNS:localhost,IP:127.0.0.1"
    for name, san, (start, end), signer in (
            ("good", local, fresh, "ca"),
            ("expired", local, ("200101000000Z", "201231000000Z"), "ca"),
            ("wrongname", "DNS:elsewhere.example", fresh, "ca"),
            ("untrusted", local, fresh, "other")):
        openssl("req", "-new", *ec, "-keyout", name + ".key", "-out", name + ".csr", "-subj",
                "/CN=" + name, "-addext", "subjectAltName=" + san)
        openssl("ca", "-batch", "-config", "ca.cnf", "-cert", signer + ".pem", "-keyfile",
                signer + ".key", "-in", name + ".csr", "-out", name + ".pem", "-startdate", start,
                "-enddate", end, "-extensions", "srv", "-notext")


ports = {}


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def do_GET(self):
        with lock, open(os.path.join(out, "requests"), "a") as f:
            f.write(json.dumps({"server": self.server.name, "path": self.path,
                                "headers": [[k, v] for k, v in self.headers.items()]}) + "\n")
        extra = []
        parts = self.path.split("/")
        code = 200
        if len(parts) == 3 and parts[1] == "redirect" and parts[2] != "0":
            code, location = 302, "/redirect/%d" % (int(parts[2]) - 1)
        elif len(parts) == 3 and parts[1] == "to-https":
            code, location = 302, "https://localhost:%d/redirect/%s" % (ports["good"], parts[2])
        elif self.path == "/to-http":
            code, location = 302, "http://localhost:%d/ok" % ports["plain"]
        if code != 200:
            extra.append(("Location", location))
        if self.path == "/set-cookies":
            extra += [("Set-Cookie", "s=1; Path=/; Secure"), ("Set-Cookie", "p=2; Path=/")]
        body = b"<html>ok</html>"
        self.send_response(code)
        for k, v in extra:
            self.send_header(k, v)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        pass  # a client that refuses the certificate is what some tests want


def https_server(name):
    server = Server(("127.0.0.1", 0), Handler)
    server.name = name
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.minimum_version = ssl.TLSVersion.TLSv1_2
    context.load_cert_chain(os.path.join(out, name + ".pem"), os.path.join(out, name + ".key"))
    server.socket = context.wrap_socket(server.socket, server_side=True)
    return server


def stall():
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(8)
    held = []

    def run():
        while True:
            c, _ = listener.accept()
            held.append(c)  # never answered, never closed
    threading.Thread(target=run, daemon=True).start()
    return listener.getsockname()[1]


make_certificates()
servers = [https_server(n) for n in ("good", "expired", "wrongname", "untrusted")]
plain = Server(("127.0.0.1", 0), Handler)
plain.name = "plain"
servers.append(plain)
for s in servers:
    ports[s.name] = s.server_address[1]
ports["stall"] = stall()
for s in servers:
    threading.Thread(target=s.serve_forever, daemon=True).start()
with open(os.path.join(out, "ports.tmp"), "w") as f:
    for k, v in ports.items():
        f.write("%s=%d\n" % (k, v))
os.rename(os.path.join(out, "ports.tmp"), os.path.join(out, "ports"))
threading.Event().wait()
