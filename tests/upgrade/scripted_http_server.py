#!/usr/bin/env python3
"""An HTTP server for the transfer client's tests, on 127.0.0.1 only.

Every answer is written byte for byte, so a test gets exactly the status line,
headers and body it asks for. The chosen port is printed on the first line of
standard output.
"""
import base64
import os
import socketserver
import urllib.parse
import sys
import time
from http.server import BaseHTTPRequestHandler

STATS_BODY = bytes((i * 7) % 251 for i in range(2040))
LARGE_BODY = bytes((i * 13) % 256 for i in range(20000))
SLOW_HEAD = b"s" * 1000


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def answer(self, status, headers, body=b"", length=True):
        lines = [f"HTTP/1.1 {status}"]
        lines += [f"{name}: {value}" for name, value in headers]
        if length is True:
            lines.append(f"Content-Length: {len(body)}")
        elif length is not None:
            lines.append(f"Content-Length: {length}")
        lines.append("Connection: close")
        self.wfile.write(("\r\n".join(lines) + "\r\n\r\n").encode("latin-1") + body)
        self.wfile.flush()
        self.close_connection = True

    def trickle(self, head, total, drip, steps):
        """Sends head, then waits steps times 0.2 s, each time sending one more
        byte when drip is set, until the client goes away."""
        self.answer("200 OK", [("Content-Type", "application/octet-stream")], head, length=total)
        try:
            for _ in range(steps):
                time.sleep(0.2)
                if drip:
                    self.wfile.write(b"t")
                    self.wfile.flush()
        except OSError:
            pass

    def gated(self, gate):
        """Sends the headers at once and the body only once the file gate exists;
        closes without a body when it does not appear within 10 s."""
        body = b"after the gate"
        head = f"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: {len(body)}\r\n" \
               "Connection: close\r\n\r\n"
        self.wfile.write(head.encode("latin-1"))
        self.wfile.flush()
        self.close_connection = True
        for _ in range(200):
            if os.path.exists(gate):
                self.wfile.write(body)
                self.wfile.flush()
                return
            time.sleep(0.05)

    def do_GET(self):
        path, _, query = self.path.partition("?")
        parameters = urllib.parse.parse_qs(query)
        text = [("Content-Type", "text/plain")]
        if path == "/ok":
            self.answer("200 OK", text, b"hello, upgrade")
        elif path == "/nolength":
            self.answer("200 OK", text, b"no length here", length=None)
        elif path == "/zerolength":
            self.answer("200 OK", text, b"")
        elif path == "/short":
            self.answer("200 OK", text, b"x" * 40, length=100)
        elif path == "/missing":
            self.answer("404 Not Found", [("Content-Type", "text/html")], b"not here")
        elif path in ("/auth", "/auth-plain"):
            expected = "Basic " + base64.b64encode(b"keeper:opensesame").decode()
            if self.headers.get("Authorization") == expected:
                self.answer("200 OK", text, b"welcome")
            else:
                challenge = 'Basic realm="Upgrade area"' if path == "/auth" else "Basic"
                self.answer("401 Unauthorized", [("WWW-Authenticate", challenge)], b"denied")
        elif path == "/redirect":
            self.answer("302 Found", [("Location", "/ok")], b"")
        elif path == "/headers":
            self.answer("200 OK", [
                ("Content-Type", "text/plain; charset=utf-8"),
                ("Content-Language", "zh-CN"),
                ("Content-Encoding", "identity"),
                ("Location", "/elsewhere"),
                ("Date", "Sun, 06 Nov 1994 08:49:37 GMT"),
                ("Last-Modified", "Sunday, 06-Nov-94 08:49:37 GMT"),
                ("Expires", "Sun Nov  6 08:49:37 1994"),
            ], b"headers")
        elif path == "/echo":
            self.answer("200 OK", text, str(self.headers).encode("latin-1"))
        elif path == "/gated":
            self.gated(parameters["gate"][0])
        elif path == "/large":
            self.answer("200 OK", [("Content-Type", "application/octet-stream")], LARGE_BODY)
        elif path == "/stats":
            self.answer("200 OK", [("Content-Type", "application/octet-stream")], STATS_BODY)
        elif path == "/slow":
            self.trickle(SLOW_HEAD, 1000000, True, 600)
        elif path == "/stall":
            self.trickle(b"0123456789", 100, False, 150)
        else:
            self.answer("404 Not Found", text, b"unknown")


class Server(socketserver.ThreadingMixIn, socketserver.TCPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    with Server(("127.0.0.1", 0), Handler) as server:
        print(server.server_address[1], flush=True)
        try:
            server.serve_forever()
        except KeyboardInterrupt:
            pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
