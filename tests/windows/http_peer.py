#!/usr/bin/env python3
"""A plain HTTP peer on loopback whose replies the WinINet client's checks need; prints its port.

Paths: /silent reads the request and never answers; /oversize announces more than the client may
buffer; /long sends more body than it announces; /missing answers 404; anything else 200 "ok".
"""
import socket
import socketserver
import sys
import time


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        data = b""
        while b"\r\n\r\n" not in data:
            chunk = self.request.recv(65536)
            if not chunk:
                return
            data += chunk
        path = data.split(b" ", 2)[1].decode("latin-1")
        if path == "/silent":
            time.sleep(30)
            return
        if path == "/oversize":
            self.request.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 70000000\r\n\r\n" + b"x" * 1000)
            return
        if path == "/long":
            self.request.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Type: text/xml; charset=EUC-KR"
                                 b"\r\nConnection: close\r\n\r\nhelloEXTRA")
            return
        if path == "/missing":
            self.request.sendall(b"HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\nConnection: close\r\n\r\ngone")
            return
        self.request.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok")


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


with Server(("127.0.0.1", 0), Handler) as server:
    print(server.server_address[1], flush=True)
    server.serve_forever()
