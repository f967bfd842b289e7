#!/usr/bin/python3
"""dyndns_peer.py FOLDER PORT CERT KEY: a dyndns2 provider over HTTPS on 127.0.0.1. The first
label of hostname is the answer ("good": "good MYIP"; "lent": the same, 5 s late). A line per
request in FOLDER/journal: path|hostname|myip|Authorization is FOLDER/attendu|User-Agent."""

import http.server
import os
import ssl
import sys
import time
import urllib.parse

dossier, port = sys.argv[1], int(sys.argv[2])


class Fournisseur(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        chemin, _, requete = self.path.partition("?")
        q = dict(urllib.parse.parse_qsl(requete))
        with open(os.path.join(dossier, "attendu")) as f:
            auth = self.headers.get("Authorization") == f.read().strip()
        with open(os.path.join(dossier, "journal"), "a") as f:
            f.write("|".join(map(str, [chemin, q.get("hostname"), q.get("myip"), auth,
                                       self.headers.get("User-Agent")])) + "\n")
        code = q.get("hostname", "").split(".")[0]
        if code == "lent":
            time.sleep(5)
        corps = ("good " + q["myip"] if code in ("good", "lent") else code).encode()
        self.send_response(200)
        self.send_header("Content-Length", str(len(corps)))
        self.end_headers()
        self.wfile.write(corps)

    def log_message(self, *args):
        pass


contexte = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
contexte.load_cert_chain(sys.argv[3], sys.argv[4])
serveur = http.server.ThreadingHTTPServer(("127.0.0.1", port), Fournisseur)
serveur.handle_error = lambda *args: None  # clients that give up: the slow rows
serveur.socket = contexte.wrap_socket(serveur.socket, server_side=True)
serveur.serve_forever()
