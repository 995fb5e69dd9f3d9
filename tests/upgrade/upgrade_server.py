#!/usr/bin/env python3
"""A web server for the upgrade tests, on 127.0.0.1 only.

Serves the files of the folder given as the first argument, read afresh for each
request so a test can change them between checks. Prints the chosen port on the
first line of standard output. With a certificate and its key as the second and
third arguments it speaks HTTPS.

  /<name>              the file, with Content-Length and Last-Modified (its mtime);
                       404 when it does not exist
  /truncated/<name>    announces 100 bytes more than it sends, then closes
  /protected/<name>    needs Basic authentication shop:s3cret, else 401 with the
                       realm "Quillmora updates"
  /empty/<name>        200 with Content-Length: 0 and no body, whatever the file
  /redirect/<name>?to=<address>
                       302 to the address
"""
import base64
import email.utils
import os
import socketserver
import ssl
import sys
import urllib.parse
from http.server import BaseHTTPRequestHandler

ROOT = sys.argv[1]
CREDENTIALS = base64.b64encode(b"shop:s3cret").decode()


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def answer(self, status, headers, body, length=None):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body) if length is None else length))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)
        self.wfile.flush()
        self.close_connection = True

    def do_GET(self):
        path, _, query = self.path.partition("?")
        path = path.lstrip("/")
        mode = ""
        if "/" in path:
            mode, path = path.split("/", 1)
        if mode == "redirect":
            target = urllib.parse.parse_qs(query)["to"][0]
            self.answer(302, [("Location", target)], b"")
            return
        if mode == "protected" and self.headers.get("Authorization") != "Basic " + CREDENTIALS:
            self.answer(401, [("WWW-Authenticate", 'Basic realm="Quillmora updates"')], b"no entry")
            return
        file = os.path.join(ROOT, os.path.basename(path))
        if not os.path.isfile(file):
            self.answer(404, [("Content-Type", "text/plain")], b"not found")
            return
        with open(file, "rb") as f:
            body = f.read()
        modified = email.utils.formatdate(os.path.getmtime(file), usegmt=True)
        headers = [("Content-Type", "application/octet-stream"), ("Last-Modified", modified)]
        if mode == "truncated":
            self.answer(200, headers, body, length=len(body) + 100)
        elif mode == "empty":
            self.answer(200, headers, b"")
        else:
            self.answer(200, headers, body)


class Server(socketserver.ThreadingMixIn, socketserver.TCPServer):
    daemon_threads = True
    allow_reuse_address = True


with Server(("127.0.0.1", 0), Handler) as server:
    if len(sys.argv) > 3:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(sys.argv[2], sys.argv[3])
        server.socket = context.wrap_socket(server.socket, server_side=True)
    print(server.server_address[1], flush=True)
    server.serve_forever()
