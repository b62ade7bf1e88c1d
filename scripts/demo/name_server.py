#!/usr/bin/env python3
"""The demonstration's name server: answers A queries for the names given on the command line
with 127.0.0.1 and every other name with "no such name", on port 53 of a 127.53.x.y loopback
address (the filter knows name servers by port 53), until it is stopped. Prints the address it
serves on once it is ready."""
import os
import socket
import sys

NAMES = {name.lower() for name in sys.argv[1:]}


def question(query):
    """The question's name (lower-cased) and the offset after the question, or None."""
    if len(query) < 12 or query[4:6] != b"\0\1":
        return None
    labels, at = [], 12
    while at < len(query) and query[at]:
        size = query[at]
        if size > 63 or at + 1 + size > len(query):
            return None
        labels.append(query[at + 1:at + 1 + size].decode("ascii", "replace").lower())
        at += 1 + size
    if at + 5 > len(query):
        return None
    return ".".join(labels), at + 5


def answer(query):
    found = question(query)
    if found is None:
        return None
    name, end = found
    head = query[:2] + b"\x81" + (b"\x80" if name in NAMES else b"\x83") + b"\0\1"
    if name not in NAMES:
        return head + b"\0\0\0\0\0\0" + query[12:end]
    record = b"\xc0\x0c\0\1\0\1\0\0\0\x3c\0\4" + socket.inet_aton("127.0.0.1")
    return head + b"\0\1\0\0\0\0" + query[12:end] + record


def main():
    server = None
    for attempt in range(64):
        host = (os.getpid() + attempt * 7919) % 65024 + 256
        address = "127.53.%d.%d" % (host >> 8, host & 255)
        server = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        try:
            server.bind((address, 53))
            break
        except OSError as error:
            server.close()
            server = None
            if error.errno != 98:  # EADDRINUSE
                sys.exit("name server: cannot bind port 53 (%s): the demonstration needs root" % error.strerror)
    if server is None:
        sys.exit("name server: no free loopback address for port 53")
    print(address, flush=True)
    while True:
        query, peer = server.recvfrom(512)
        reply = answer(query)
        if reply:
            server.sendto(reply, peer)


if __name__ == "__main__":
    main()
