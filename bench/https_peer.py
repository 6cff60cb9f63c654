#!/usr/bin/env python3
"""The peer of vexa_https_send_bench: what a small client in Python's standard library pays for the
same exchanges. It posts a request given as a file (the component's own bytes: request line,
headers in their order, body) COUNT times over HTTPS and prints one line of JSON with the wall
time and the process's CPU time of the requests alone (interpreter start and the TLS context
made beforehand are not counted).

  https_peer.py --url https://127.0.0.1:PORT --cafile CERT --request FILE --count 100
                [--mode keepalive|newconn] [--threads N]

keepalive: one connection per thread, kept for all its requests; newconn: a new connection per
request, the TLS context shared. With --threads N each of N threads sends COUNT requests.
"""
import argparse
import http.client
import json
import ssl
import threading
import time
import urllib.parse


def read_request(path):
    with open(path, "rb") as f:
        data = f.read()
    head, body = data.split(b"\r\n\r\n", 1)
    lines = head.decode("latin-1").split("\r\n")
    method, target, _ = lines[0].split(" ", 2)
    headers = [tuple(part.strip() for part in line.split(":", 1)) for line in lines[1:]]
    return method, target, headers, body


def send(connection, method, target, headers, body):
    # Exactly the given header lines: no Host or Accept-Encoding of the library's own.
    connection.putrequest(method, target, skip_host=True, skip_accept_encoding=True)
    for name, value in headers:
        connection.putheader(name, value)
    connection.endheaders(body)
    reply = connection.getresponse()
    reply.read()
    if reply.status != 200:
        raise RuntimeError(f"status {reply.status}")
    return reply.will_close


def worker(args, context, request, failures):
    url = urllib.parse.urlsplit(args.url)
    connection = None
    try:
        for _ in range(args.count):
            if connection is None:
                connection = http.client.HTTPSConnection(url.hostname, url.port, context=context)
            closes = send(connection, *request)
            if args.mode == "newconn" or closes:
                connection.close()
                connection = None
    except Exception as error:  # reported, the benchmark fails
        failures.append(str(error))
    finally:
        if connection is not None:
            connection.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--url", required=True)
    parser.add_argument("--cafile", required=True)
    parser.add_argument("--request", required=True)
    parser.add_argument("--count", type=int, default=100)
    parser.add_argument("--mode", choices=("keepalive", "newconn"), default="keepalive")
    parser.add_argument("--threads", type=int, default=1)
    args = parser.parse_args()

    context = ssl.create_default_context(cafile=args.cafile)
    request = read_request(args.request)
    failures = []
    threads = [threading.Thread(target=worker, args=(args, context, request, failures))
               for _ in range(args.threads)]
    wall, cpu = time.perf_counter(), time.process_time()
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    wall, cpu = time.perf_counter() - wall, time.process_time() - cpu
    if failures:
        raise SystemExit("https_peer: " + failures[0])
    print(json.dumps({"real": wall, "cpu": cpu, "requests": args.count * args.threads}))


if __name__ == "__main__":
    main()
