#!/usr/bin/python3
"""relais_dns.py MODE TARGET_PORT PORT: a name server's stand-in on UDP, whose every answer is,
by MODE, truncated ("tronque": ask again over TCP) or an unsigned empty NOERROR ("nonsigne": a
forger's). TCP messages go on to 127.0.0.1:TARGET_PORT and their answers come back."""

import socket
import socketserver
import sys
import threading

mode, cible, port = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])


def udp():
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind(("127.0.0.1", port))
    while True:
        m, client = s.recvfrom(65535)
        drapeaux = m[2] | 0x80 | (0x02 if mode == "tronque" else 0)
        s.sendto(m[:2] + bytes([drapeaux, 0]) + bytes(8), client)


def message(s):
    b = b""
    while len(b) < 2 or len(b) < 2 + int.from_bytes(b[:2], "big"):
        bloc = s.recv(65537)
        if not bloc:
            raise EOFError
        b += bloc
    return b


class Relais(socketserver.BaseRequestHandler):
    def handle(self):
        try:
            with socket.create_connection(("127.0.0.1", cible)) as amont:
                while True:
                    amont.sendall(message(self.request))
                    self.request.sendall(message(amont))
        except (EOFError, OSError):
            pass


threading.Thread(target=udp, daemon=True).start()
socketserver.ThreadingTCPServer(("127.0.0.1", port), Relais).serve_forever()
