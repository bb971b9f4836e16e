#!/usr/bin/python3
"""Reference server for the bench: Python's http.server answering every GET with one file's bytes,
HTTP/1.0, one response per connection (BaseHTTPRequestHandler's own protocol), a thread per
connection as `python3 -m http.server` runs it. The listen backlog is raised to the station's and
nginx's so that bursts of 50 clients measure the server, not dropped connection attempts, and the
per-request log line is left out.

    pyserver.py PORT FILE
"""

import sys
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer


class Handler(BaseHTTPRequestHandler):
    document = b""

    def do_GET(self):
        self.send_response(200)
        self.send_header("Content-Type", "*/*")
        self.send_header("Content-Length", str(len(self.document)))
        self.end_headers()
        self.wfile.write(self.document)

    def log_message(self, format, *args):
        pass


class Server(ThreadingHTTPServer):
    request_queue_size = 1024


def main():
    port, path = int(sys.argv[1]), sys.argv[2]
    with open(path, "rb") as f:
        Handler.document = f.read()
    with Server(("127.0.0.1", port), Handler) as server:
        server.serve_forever()


if __name__ == "__main__":
    main()
