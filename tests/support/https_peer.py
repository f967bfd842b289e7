#!/usr/bin/python3
"""https_peer.py FOLDER PORT [CERT KEY]: a web server (the detection page, a dyndns2 provider)
over HTTP or HTTPS, on 127.0.0.1 and, where there is one, ::1. GET /.../NAME answers from
FOLDER: NAME.statut (200 when absent), NAME.corps ("{client}" the caller's address), NAME.lieu
(Location); NAME.attente seconds before answering, NAME.goutte seconds between bytes, NAME.flot
bytes sent with no length. Each request, and what a flood could send, is a JSON line of
FOLDER/journal."""

import http.server
import json
import os
import socket
import ssl
import sys
import threading
import time

dossier, port = sys.argv[1], int(sys.argv[2])
verrou = threading.Lock()


def lire(nom, defaut=b""):
    try:
        with open(os.path.join(dossier, nom), "rb") as f:
            return f.read()
    except FileNotFoundError:
        return defaut


def journal(**champs):
    with verrou, open(os.path.join(dossier, "journal"), "a") as f:
        f.write(json.dumps(champs) + "\n")


class Page(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def do_GET(self):
        nom = self.path.split("?")[0].rsplit("/", 1)[-1] or "index"
        client = self.client_address[0]
        journal(page=nom, chemin=self.path, host=self.headers.get("Host"),
                sni=getattr(self.connection, "sni", None),
                agent=self.headers.get("User-Agent"), auth=self.headers.get("Authorization"),
                cache=self.headers.get("Cache-Control"),
                pragma=self.headers.get("Pragma"), client=client)
        time.sleep(float(lire(nom + ".attente", b"0")))
        flot = int(lire(nom + ".flot", b"0"))
        corps = lire(nom + ".corps").replace(b"{client}", client.encode())
        self.send_response(int(lire(nom + ".statut", b"200")))
        self.send_header("Content-Type", "text/plain")
        self.send_header("Connection", "close")
        lieu = lire(nom + ".lieu")
        if lieu:
            self.send_header("Location", lieu.decode())
        if not flot:
            self.send_header("Content-Length", str(len(corps)))
        self.end_headers()
        goutte = float(lire(nom + ".goutte", b"0"))
        try:
            if flot:
                envoye = 0
                try:
                    while envoye < flot:
                        bloc = b"1" * min(16384, flot - envoye)
                        self.wfile.write(bloc)
                        envoye += len(bloc)
                finally:
                    journal(page=nom, envoye=envoye)
            elif goutte:
                for octet in corps:
                    self.wfile.write(bytes([octet]))
                    self.wfile.flush()
                    time.sleep(goutte)
            else:
                self.wfile.write(corps)
        except OSError:
            pass  # the client gave up: that is what some rows want

    def log_message(self, *args):
        pass


class Serveur(http.server.ThreadingHTTPServer):
    daemon_threads = True
    contexte = None

    def finish_request(self, request, client_address):
        # The handshake runs in the request's thread, so a stalled client blocks no other.
        if self.contexte:
            try:
                request = self.contexte.wrap_socket(request, server_side=True)
            except (OSError, ssl.SSLError):
                return  # refused by the client: the untrusted rows
        super().finish_request(request, client_address)

    def handle_error(self, request, client_address):
        pass


class Serveur6(Serveur):
    address_family = socket.AF_INET6


contexte = None
if len(sys.argv) > 4:
    contexte = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    contexte.load_cert_chain(sys.argv[3], sys.argv[4])

    def note_sni(sock, nom, _ctx):
        sock.sni = nom

    contexte.sni_callback = note_sni

serveurs = [Serveur(("127.0.0.1", port), Page)]
try:
    serveurs.append(Serveur6(("::1", port), Page))
except OSError:
    pass  # no ::1 here: the IPv6 rows skip
for s in serveurs:
    s.contexte = contexte
    threading.Thread(target=s.serve_forever, daemon=True).start()
threading.Event().wait()
