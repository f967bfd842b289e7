#!/usr/bin/python3
"""https_peer.py FOLDER PORT [CERT KEY]: a web server (detection page, dyndns2 provider) over
HTTP or HTTPS, on 127.0.0.1 and ::1 if any. GET /.../NAME answers from FOLDER: NAME.statut (200
when absent), NAME.corps ("{client}" the caller's address), NAME.lieu (Location); NAME.attente
seconds before answering, NAME.goutte seconds between bytes, NAME.flot bytes with no length.
Each request, and what a flood sent, is a JSON line of FOLDER/journal."""

import http.server
import json
import pathlib
import socket
import ssl
import sys
import threading
import time

dossier, port = pathlib.Path(sys.argv[1]), int(sys.argv[2])
verrou = threading.Lock()


def lire(nom, defaut=b""):
    return (dossier / nom).read_bytes() if (dossier / nom).exists() else defaut


def journal(**champs):
    with verrou, open(dossier / "journal", "a") as f:
        f.write(json.dumps(champs) + "\n")


class Page(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def do_GET(self):
        nom, h = self.path.split("?")[0].rsplit("/", 1)[-1], self.headers
        journal(page=nom, chemin=self.path, host=h["Host"], agent=h["User-Agent"],
                auth=h["Authorization"], sni=getattr(self.connection, "sni", None))
        time.sleep(float(lire(nom + ".attente", b"0")))
        flot, goutte = int(lire(nom + ".flot", b"0")), float(lire(nom + ".goutte", b"0"))
        corps = lire(nom + ".corps").replace(b"{client}", self.client_address[0].encode())
        self.send_response(int(lire(nom + ".statut", b"200")))
        self.send_header("Connection", "close")
        if lire(nom + ".lieu"):
            self.send_header("Location", lire(nom + ".lieu").decode())
        if not flot:
            self.send_header("Content-Length", str(len(corps)))
        self.end_headers()
        envoye = 0
        try:  # a client that gives up ends the writes: handle_error stays silent
            while envoye < flot:
                envoye += self.wfile.write(b"1" * min(16384, flot - envoye))
            for bout in [corps[i:i + 1] for i in range(len(corps))] if goutte else [corps]:
                self.wfile.write(bout)
                time.sleep(goutte)
        finally:
            if flot:
                journal(page=nom, envoye=envoye)

    def log_message(self, *args):
        pass


class Serveur(http.server.ThreadingHTTPServer):
    def handle_error(self, request, client_address):
        pass  # a client that gave up or refused the certificate: what some rows want


contexte = None
if len(sys.argv) > 4:
    contexte = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    contexte.load_cert_chain(sys.argv[3], sys.argv[4])
    contexte.sni_callback = lambda sock, nom, _contexte: setattr(sock, "sni", nom)

for famille, hote in ((socket.AF_INET, "127.0.0.1"), (socket.AF_INET6, "::1")):
    try:
        s = type("Serveur", (Serveur,), {"address_family": famille})((hote, port), Page)
    except OSError:
        continue  # no ::1 here: the IPv6 rows skip
    if contexte:
        # The handshake comes with the first read, in the request's thread: a stalled client
        # blocks no other.
        s.socket = contexte.wrap_socket(s.socket, server_side=True,
                                        do_handshake_on_connect=False)
    threading.Thread(target=s.serve_forever, daemon=True).start()
threading.Event().wait()
