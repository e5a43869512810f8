#!/usr/bin/env python3
"""The tests' HTTP server: 127.0.0.1 only, bounded in time, stops by itself.

Serves the files of a folder with Range, over HTTP and over HTTPS (two certificates: one the tests
trust, one they do not), and misbehaves on purpose when the path says so:

  /files/NAME                 the file, honouring "Range: bytes=N-" and "N-M"
  /site/PATH                  the file SITE/PATH, nested folders and all, with Range as /files/;
                              a ".." in the path, or a path that leads outside SITE, gets 404
  /norange/NAME               the file whole with 200, whatever the Range
  /drop/N/K/NAME              the first K requests of this path send N bytes of the body, then close
  /badrange/NAME              a ranged request gets 206 with the file from byte 0 and a wrong Content-Range
  /nolength/NAME              200 (or 206 for a range) with no Content-Length, the end being the close
  /status/CODE                answers CODE with a short body
  /flaky/CODE/K/NAME          the first K requests of this path answer CODE, later ones the file
  /redirect/NAME              302 to /files/NAME on the same server
  /redirect-to-http/NAME      302 to /files/NAME on the plain HTTP port
  /redirect-loop              302 to itself
  /endless/TAG                200 with a length of 1 GiB, zeros sent until the client goes away
  /sending/TAG                how many /endless/TAG answers are still being sent, as text

A query string is ignored but for counting: the first K requests are counted per path and query.
  /stop                       stops the server

usage: loopback_server.py FOLDER STATE_FILE [--site SITE] [--cert PEM KEY --untrusted-cert PEM KEY] [--seconds S]
The state file receives "http=PORT", "https=PORT" and "untrusted=PORT" lines once the server listens.
"""
import argparse
import os
import re
import socket
import ssl
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

MAX_REQUESTS = 100000
counts = {}
sending = {}
counts_lock = threading.Lock()
total_requests = [0]


def count(path):
    with counts_lock:
        counts[path] = counts.get(path, 0) + 1
        total_requests[0] += 1
        return counts[path]


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    folder = "."
    site = None
    ports = {}

    def log_message(self, *args):
        pass

    def send_text(self, code, text, headers=()):
        body = text.encode()
        self.send_response(code)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)
        self.close_connection = True

    def file_bytes(self, name):
        path = os.path.join(self.folder, os.path.basename(name))
        if not os.path.isfile(path):
            return None
        return path

    def site_file(self, parts):
        """The file under the site folder that the path's parts name, or None."""
        if self.site is None or not parts:
            return None
        names = [urllib.parse.unquote(part) for part in parts]
        if any(name in ("", ".", "..") or "/" in name or "\\" in name for name in names):
            return None
        root = os.path.realpath(self.site)
        path = os.path.realpath(os.path.join(root, *names))
        if not path.startswith(root + os.sep) or not os.path.isfile(path):
            return None
        return path

    def requested_range(self, size):
        header = self.headers.get("Range")
        if not header:
            return None
        match = re.fullmatch(r"bytes=(\d+)-(\d*)", header.strip())
        if not match:
            return None
        start = int(match.group(1))
        end = int(match.group(2)) if match.group(2) else size - 1
        return start, min(end, size - 1)

    def send_file(self, path, honour_range=True, limit=None, length_header=True, wrong_range=False):
        size = os.path.getsize(path)
        wanted = self.requested_range(size) if honour_range else None
        start, end, code = 0, size - 1, 200
        if wanted is not None:
            if wanted[0] >= size:
                self.send_text(416, "range not satisfiable", [("Content-Range", "bytes */%d" % size)])
                return
            start, end, code = wanted[0], wanted[1], 206
        if wrong_range and code == 206:
            sent_from = 0
        else:
            sent_from = start
        length = end - start + 1
        self.send_response(code)
        if code == 206:
            self.send_header("Content-Range", "bytes %d-%d/%d" % (start, end, size))
        if length_header:
            self.send_header("Content-Length", str(length))
        self.send_header("Connection", "close")
        self.end_headers()
        self.close_connection = True
        to_send = length if limit is None else min(limit, length)
        with open(path, "rb") as f:
            f.seek(sent_from)
            if limit is None and not isinstance(self.connection, ssl.SSLSocket):
                self.wfile.flush()
                self.connection.sendfile(f, sent_from, to_send)
                return
            left = to_send
            while left > 0:
                chunk = f.read(min(left, 1 << 16))
                if not chunk:
                    break
                self.wfile.write(chunk)
                left -= len(chunk)
        self.wfile.flush()
        if limit is not None:
            # Cut the connection in the middle of the body.
            try:
                self.connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass

    def do_GET(self):
        path = self.path.split("?", 1)[0]
        n = count(self.path)  # with the query: tests tell their requests apart by it
        if total_requests[0] > MAX_REQUESTS:
            self.send_text(503, "too many requests")
            return
        parts = path.strip("/").split("/")
        kind, rest = parts[0], parts[1:]
        try:
            if kind == "files" and rest:
                self.serve(rest[-1])
            elif kind == "site":
                site_path = self.site_file(rest)
                if site_path is None:
                    self.send_text(404, "no such file")
                else:
                    self.send_file(site_path)
            elif kind == "norange" and rest:
                self.serve(rest[-1], honour_range=False)
            elif kind == "drop" and len(rest) == 3:
                limit, times = int(rest[0]), int(rest[1])
                self.serve(rest[2], limit=limit if n <= times else None)
            elif kind == "badrange" and rest:
                self.serve(rest[-1], wrong_range=True)
            elif kind == "nolength" and rest:
                self.serve(rest[-1], length_header=False)
            elif kind == "status" and rest:
                self.send_text(int(rest[0]), "status %s" % rest[0])
            elif kind == "flaky" and len(rest) == 3:
                if n <= int(rest[1]):
                    self.send_text(int(rest[0]), "not now")
                else:
                    self.serve(rest[2])
            elif kind == "redirect" and rest:
                self.send_text(302, "moved", [("Location", "/files/" + rest[-1])])
            elif kind == "redirect-to-http" and rest:
                target = "http://localhost:%d/files/%s" % (self.ports["http"], rest[-1])
                self.send_text(302, "moved", [("Location", target)])
            elif kind == "endless" and rest:
                self.send_endless("/".join(rest))
            elif kind == "sending" and rest:
                with counts_lock:
                    n = sending.get("/".join(rest), 0)
                self.send_text(200, str(n))
            elif kind == "redirect-loop":
                self.send_text(302, "again", [("Location", "/redirect-loop")])
            elif kind == "stop":
                self.send_text(200, "stopping")
                threading.Thread(target=stop_all, daemon=True).start()
            else:
                self.send_text(404, "not found")
        except (BrokenPipeError, ConnectionResetError, ssl.SSLError):
            pass

    def send_endless(self, tag):
        size = 1 << 30
        with counts_lock:
            sending[tag] = sending.get(tag, 0) + 1
        try:
            self.send_response(200)
            self.send_header("Content-Length", str(size))
            self.send_header("Connection", "close")
            self.end_headers()
            self.close_connection = True
            chunk = bytes(1 << 16)
            for _ in range(size // len(chunk)):
                self.wfile.write(chunk)
        finally:
            with counts_lock:
                sending[tag] -= 1

    def serve(self, name, **options):
        path = self.file_bytes(name)
        if path is None:
            self.send_text(404, "no such file")
            return
        self.send_file(path, **options)


servers = []


def stop_all():
    for server in servers:
        server.shutdown()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("state")
    parser.add_argument("--site")
    parser.add_argument("--cert", nargs=2)
    parser.add_argument("--untrusted-cert", nargs=2)
    parser.add_argument("--seconds", type=float, default=900)
    args = parser.parse_args()
    Handler.folder = args.folder
    Handler.site = args.site

    plain = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    plain.daemon_threads = True
    servers.append(plain)
    Handler.ports["http"] = plain.server_address[1]
    lines = ["http=%d" % plain.server_address[1]]
    for label, cert in (("https", args.cert), ("untrusted", args.untrusted_cert)):
        if not cert:
            continue
        server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        server.daemon_threads = True
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(cert[0], cert[1])
        server.socket = context.wrap_socket(server.socket, server_side=True)
        servers.append(server)
        lines.append("%s=%d" % (label, server.server_address[1]))

    threads = [threading.Thread(target=s.serve_forever, daemon=True) for s in servers]
    for thread in threads:
        thread.start()
    partial = args.state + ".partial"
    with open(partial, "w") as f:
        f.write("pid=%d\n" % os.getpid())
        f.write("\n".join(lines) + "\n")
    os.replace(partial, args.state)

    deadline = time.monotonic() + args.seconds
    while time.monotonic() < deadline and all(t.is_alive() for t in threads):
        time.sleep(0.2)
    stop_all()


if __name__ == "__main__":
    sys.exit(main())
