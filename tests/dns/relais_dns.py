#!/usr/bin/python3
"""relais_dns.py MODE TARGET_PORT PORT: a name server's stand-in on UDP, whose every answer is,
by MODE, truncated ("tronque": ask again over TCP) or an unsigned empty NOERROR ("nonsigne": a
forger's). TCP messages go on to 127.0.0.1:TARGET_PORT and their answers come back."""

import socket
import socketserver
import sys
import threading

mode, cible, port = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])


class Udp(socketserver.BaseRequestHandler):
    def handle(self):
        m, s = self.request
        drapeaux = m[2] | 0x80 | (0x02 if mode == "tronque" else 0)
        s.sendto(m[:2] + bytes([drapeaux, 0]) + bytes(8), self.client_address)


def message(f):  # one length-prefixed DNS message over TCP; b"" once the peer is gone
    taille = f.read(2)
    return taille + f.read(int.from_bytes(taille, "big")) if len(taille) == 2 else b""


class Tcp(socketserver.StreamRequestHandler):
    def handle(self):
        with socket.create_connection(("127.0.0.1", cible)) as amont, amont.makefile("rb") as r:
            while m := message(self.rfile):
                amont.sendall(m)
                self.wfile.write(message(r))


threading.Thread(target=socketserver.UDPServer(("127.0.0.1", port), Udp).serve_forever,
                 daemon=True).start()
socketserver.ThreadingTCPServer(("127.0.0.1", port), Tcp).serve_forever()
