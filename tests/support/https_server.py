#!/usr/bin/env python3
"""HTTPS test server for the updater and feedback tests.

Started by the tests themselves on 127.0.0.1 with a throwaway certificate; prints its port on the
first line of stdout and serves until killed. Each path plays one server behaviour.
"""
import argparse
import base64
import gzip
import http.server
import os
import socketserver
import ssl
import sys
import time
import urllib.parse
import zlib


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    root = "."

    def log_message(self, fmt, *args):
        pass

    def send_body(self, code, body, ctype="text/plain", extra=None):
        self.send_response(code)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        for k, v in (extra or {}).items():
            self.send_header(k, v)
        self.end_headers()
        self.wfile.write(body)

    def send_chunked(self, code, blocks, extra=None, every=0.0):
        """Sends the blocks as a chunked body, waiting `every` seconds between them; stops when the
        client has gone."""
        self.send_response(code)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Transfer-Encoding", "chunked")
        for k, v in (extra or {}).items():
            self.send_header(k, v)
        self.end_headers()
        try:
            for block in blocks:
                if block:
                    self.wfile.write(b"%x\r\n" % len(block) + block + b"\r\n")
                    self.wfile.flush()
                time.sleep(every)
            self.wfile.write(b"0\r\n\r\n")
        except OSError:
            self.close_connection = True

    def record(self, name, data):
        with open(os.path.join(self.root, name), "wb") as f:
            f.write(data)

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        parts = urllib.parse.unquote(url.path).strip("/").split("/")
        query = urllib.parse.parse_qs(url.query, keep_blank_values=True)
        self.record("last_request", self.requestline.encode() + b"\n" + bytes(self.headers))
        head = parts[0]
        if head == "files":
            path = os.path.join(self.root, "files", *parts[1:])
            if not os.path.isfile(path):
                return self.send_body(404, b"not found")
            with open(path, "rb") as f:
                data = f.read()
            modified = {"Last-Modified": "Sun, 06 Nov 1994 08:49:37 GMT"}
            if "gzip" in self.headers.get("Accept-Encoding", ""):  # compressed on the fly, as web servers do when offered
                body = gzip.compress(data)
                return self.send_chunked(200, [body[i:i + 4096] for i in range(0, len(body), 4096)],
                                         dict(modified, **{"Content-Encoding": "gzip"}))
            return self.send_body(200, data, "application/octet-stream", modified)
        if head == "coded":  # a file in a content coding nobody asked for, as some servers send static files
            with open(os.path.join(self.root, "files", parts[1]), "rb") as f:
                data = f.read()
            coding = parts[2] if len(parts) > 2 else "gzip"
            body = gzip.compress(data) if coding == "gzip" else zlib.compress(data) if coding == "deflate" else data
            if "chunked" in query:  # coded on the fly: no length announced
                return self.send_chunked(200, [body[i:i + 4096] for i in range(0, len(body), 4096)],
                                         {"Content-Encoding": coding})
            return self.send_body(200, body, "application/octet-stream", {"Content-Encoding": coding})
        if head == "bomb":  # /bomb/MEGABYTES: zeros in gzip twice over, a small answer that decodes huge
            body = bomb(int(parts[1]))
            if "chunked" in query:
                return self.send_chunked(200, [body[i:i + 4096] for i in range(0, len(body), 4096)],
                                         {"Content-Encoding": "gzip, gzip"})
            return self.send_body(200, body, "application/octet-stream", {"Content-Encoding": "gzip, gzip"})
        if head == "trickle":  # answers after LATE seconds, announces SIZE bytes, waits GAP seconds,
            # sends FIRST of them, then BURST every EVERY seconds
            size = int(query.get("size", ["1000000000"])[0])
            first = int(query.get("first", ["0"])[0])
            burst = int(query.get("burst", ["1"])[0])
            every = float(query.get("every", ["0.2"])[0])
            deadline = time.monotonic() + 60
            try:
                time.sleep(float(query.get("late", ["0"])[0]))
                self.send_response(200)
                self.send_header("Content-Length", str(size))
                self.end_headers()
                time.sleep(float(query.get("gap", ["0"])[0]))
                self.wfile.write(b"f" * first)
                size -= first
                while size > 0 and time.monotonic() < deadline:
                    n = min(size, burst)
                    self.wfile.write(b"t" * n)
                    self.wfile.flush()
                    size -= n
                    time.sleep(every)
            except OSError:
                pass
            self.close_connection = True
            return
        if head in ("part", "whole"):  # a range as if one had been asked for: the first half, or all
            with open(os.path.join(self.root, "files", parts[1]), "rb") as f:
                data = f.read()
            half = len(data) if head == "whole" else len(data) // 2
            self.send_response(206)
            self.send_header("Content-Range", "bytes 0-%d/%d" % (half - 1, len(data)))
            self.send_header("Content-Length", str(half))
            self.end_headers()
            return self.wfile.write(data[:half])
        if head == "status":
            code = int(parts[1])
            return self.send_body(code, b"error page %d" % code)
        if head == "big":  # SIZE zeros; "nolength": no length told, the end is the hang-up; "then=N":
            # N more zeros after a pause, so that they arrive on their own
            size = int(parts[1])
            nolength = "nolength" in query
            self.send_response(200)
            self.send_header("Content-Type", "application/octet-stream")
            self.send_header(*(("Connection", "close") if nolength else ("Content-Length", str(size))))
            self.end_headers()
            block = b"\0" * (1 << 20)
            try:
                while size > 0:
                    n = min(size, len(block))
                    self.wfile.write(block[:n])
                    size -= n
                more = int(query.get("then", ["0"])[0])
                if more:
                    time.sleep(0.3)
                    self.wfile.write(b"\0" * more)
            except OSError:
                pass
            if nolength:
                self.close_connection = True
            return
        if head == "hold":  # no answer until the file UNTIL appears in the root, then a hang-up
            release = os.path.join(self.root, query.get("until", ["release"])[0])
            deadline = time.monotonic() + 60
            while not os.path.exists(release) and time.monotonic() < deadline:
                time.sleep(0.05)
            self.close_connection = True
            return
        if head == "cut":  # announces twice what it sends, then hangs up
            n = int(parts[1])
            self.send_response(200)
            self.send_header("Content-Length", str(2 * n))
            self.end_headers()
            self.wfile.write(b"x" * n)
            self.wfile.flush()
            self.close_connection = True
            return
        if head == "chunkcut":
            self.send_response(200)
            self.send_header("Transfer-Encoding", "chunked")
            self.end_headers()
            self.wfile.write(b"10\r\n0123456789abcdef\r\n")
            self.wfile.flush()
            self.close_connection = True
            return
        if head == "nolength":
            self.send_response(200)
            self.send_header("Connection", "close")
            self.end_headers()
            self.wfile.write(b"y" * 3000)
            self.close_connection = True
            return
        if head == "stall":  # a few bytes, then nothing until the client gives up
            self.send_response(200)
            self.send_header("Content-Length", "100000")
            self.end_headers()
            self.wfile.write(b"z" * 10)
            self.wfile.flush()
            time.sleep(float(query.get("s", ["30"])[0]))
            self.close_connection = True
            return
        if head == "goto":  # the same without "=" in the address: /goto/SCHEME/HOST:PORT/PATH
            self.send_response(302)
            self.send_header("Location", parts[1] + "://" + "/".join(parts[2:]))
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        if head == "redirect":
            self.send_response(302)
            self.send_header("Location", query["to"][0])
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        if head == "auth":
            expected = "Basic " + base64.b64encode(b"user:secret").decode()
            if self.headers.get("Authorization") != expected:
                return self.send_body(401, b"who are you", extra={"WWW-Authenticate": 'Basic realm="Updates"'})
            return self.send_body(200, b"welcome")
        return self.send_body(404, b"no such behaviour")

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length)
        self.record("post_body", body)
        self.record("post_headers", bytes(self.headers))
        count_file = os.path.join(self.root, "post_count")
        count = int(open(count_file).read()) if os.path.exists(count_file) else 0
        self.record("post_count", b"%d" % (count + 1))
        mode_file = os.path.join(self.root, "post_mode")
        mode = open(mode_file).read().strip() if os.path.exists(mode_file) else "ok"
        if mode == "stall":  # an answer that takes longer than anyone waits
            time.sleep(30)
            mode = "ok"
        if mode.startswith("ok"):  # "ok:CODE": the confirmation under another status
            answer = (b'<?xml version="1.0" encoding="utf-8"?><soap:Envelope xmlns:soap="http://schemas.xmlsoap.org/soap/envelope/">'
                      b'<soap:Body><FeedbackResponse xmlns="http://example.invalid/Feedbackservice"/></soap:Body></soap:Envelope>')
            return self.send_body(int(mode[3:] or 200), answer, "text/xml; charset=utf-8")
        if mode == "fault":
            answer = (b'<?xml version="1.0" encoding="utf-8"?><soap:Envelope xmlns:soap="http://schemas.xmlsoap.org/soap/envelope/">'
                      b'<soap:Body><soap:Fault><faultcode>soap:Server</faultcode><faultstring>Service is resting</faultstring>'
                      b'</soap:Fault></soap:Body></soap:Envelope>')
            return self.send_body(500, answer, "text/xml; charset=utf-8")
        if mode == "error-page":  # a web server's own page for a fault in the application behind it
            page = (b'<!DOCTYPE html>\n<html>\n<head>\n<title>Runtime Error</title>\n<style>\n body {font-family:"Verdana"}\n'
                    b'</style>\n</head>\n<body bgcolor="white">\n<span><H1>Server Error in \'/\' Application.<hr width=100% size=1>'
                    b'</H1>\n<h2> <i>Object reference not set to an\n instance of an object.</i> </h2></span>\n'
                    b'<!-- [NullReferenceException] -->\n<b> Description: </b>An unhandled exception &amp; more.<br><br>'
                    b'\n</body>\n</html>\n')
            return self.send_body(500, page, "text/html; charset=utf-8")
        return self.send_body(200, b"<html><body>Maintenance page</body></html>", "text/html")


BOMBS = {}


def bomb(megabytes):
    if megabytes not in BOMBS:
        inner = zlib.compressobj(9, zlib.DEFLATED, 31)
        zeros = bytes(1 << 20)
        once = b"".join(inner.compress(zeros) for _ in range(megabytes)) + inner.flush()
        BOMBS[megabytes] = gzip.compress(once, 9)
    return BOMBS[megabytes]


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--root", required=True)
    ap.add_argument("--cert", required=True)
    ap.add_argument("--key", required=True)
    ap.add_argument("--plain", action="store_true", help="plain http, no TLS")
    args = ap.parse_args()
    Handler.root = args.root
    server = Server(("127.0.0.1", 0), Handler)
    if not args.plain:
        ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        ctx.load_cert_chain(args.cert, args.key)
        server.socket = ctx.wrap_socket(server.socket, server_side=True)
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
