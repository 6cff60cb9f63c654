#!/usr/bin/env python3
"""A plain HTTP peer on loopback whose replies the WinINet client's checks need; prints its port.

Paths: /silent reads the request and never answers; /stalled sends part of the body and then
nothing; /overflowing sends more than the client may buffer without announcing a length; /echo
answers with the request's head; the others are the canned replies below; anything else is
200 "ok".
"""
import re
import socket
import socketserver
import time

CANNED = {
    # announces more than the client may buffer
    "/oversize": b"HTTP/1.1 200 OK\r\nContent-Length: 70000000\r\n\r\n" + b"x" * 1000,
    # more body than announced
    "/long": (b"HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Type: text/xml; charset=EUC-KR"
              b"\r\nConnection: close\r\n\r\nhelloEXTRA"),
    # less body than announced, then closed
    "/short": b"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n01234567",
    "/chunked": b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n",
    "/unannounced": b"HTTP/1.1 200 OK\r\n\r\n<whole/>",
    "/nul": b"HTTP/1.1 200 OK\r\nContent-Length: 7\r\n\r\nab\0cdef",
    "/missing": b"HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\nConnection: close\r\n\r\ngone",
    "/unauthorized": b"HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"x\"\r\nContent-Length: 4\r\n\r\ndeny",
    "/moved": b"HTTP/1.1 302 Found\r\nLocation: /\r\nContent-Length: 4\r\n\r\nmove",
    "/dated": b"HTTP/1.1 200 OK\r\nDate: Sat, 31 Dec 2022 20:00:00 GMT\r\nContent-Length: 2\r\n\r\nok",
    "/misdated": b"HTTP/1.1 200 OK\r\nDate: yesterday-ish\r\nContent-Length: 2\r\n\r\nok",
}


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        data = b""
        while b"\r\n\r\n" not in data:
            chunk = self.request.recv(65536)
            if not chunk:
                return
            data += chunk
        head, body = data.split(b"\r\n\r\n", 1)
        head += b"\r\n\r\n"
        path = head.split(b" ", 2)[1].decode("latin-1")
        # The whole body is read: closing with unread bytes would reset the connection.
        length = re.search(rb"\r\ncontent-length: *(\d+)", head, re.IGNORECASE)
        while length and len(body) < int(length.group(1)):
            chunk = self.request.recv(65536)
            if not chunk:
                return
            body += chunk
        try:
            if path == "/silent":
                time.sleep(30)
            elif path == "/stalled":
                self.request.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 64\r\n\r\n" + b"x" * 20)
                time.sleep(30)
            elif path == "/overflowing":
                self.request.sendall(b"HTTP/1.1 200 OK\r\n\r\n")
                block = b"x" * (1 << 20)
                for _ in range(64):
                    self.request.sendall(block)
                self.request.sendall(b"x")
            elif path == "/echo":
                self.request.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\n\r\n" % len(head) + head)
            else:
                self.request.sendall(CANNED.get(path, b"HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok"))
            self.request.shutdown(socket.SHUT_WR)
        except OSError:
            pass  # the client stopped reading


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


with Server(("127.0.0.1", 0), Handler) as server:
    print(server.server_address[1], flush=True)
    server.serve_forever()
