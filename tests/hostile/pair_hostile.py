# A hostile SMTP or FTP server for the robustness tests: its first connection misbehaves at
# one step of the dialogue, every later connection behaves, so a test can see the client
# give up and then succeed.
#
#   pair_hostile.py smtp|ftp PORT MODE STEP FOLDER
#
# MODE: flood (a 10 MiB reply), nul (a reply of NUL and unassigned Windows-1252 bytes with no
# code), empty (an empty line), trickle (an endless reply, one byte at a time), reset (the connection reset).
# STEP: 0 the greeting, then the reply to the Nth command. Good mails are stored in
# FOLDER/mail-N.txt, good uploads under FOLDER with their remote name.
import os
import select
import socket
import socketserver
import struct
import sys
import threading
import time

proto, port, mode, step, folder = sys.argv[1], int(sys.argv[2]), sys.argv[3], int(sys.argv[4]), sys.argv[5]
FLOOD = 10 * 1024 * 1024
count_lock = threading.Lock()
connections = [0]


def hostile(sock, code):
    try:
        if mode == "flood":
            chunk = b"x" * 65536
            sock.sendall(code + b" ")
            for _ in range(FLOOD // len(chunk)):
                sock.sendall(chunk)
            sock.sendall(b"\r\n")
        elif mode == "nul":
            sock.sendall(b"\x00\x81\x8d\x8f\x90\x9d\xff\x00 \x00\r\n")
            time.sleep(30)  # the client must decide on its own
        elif mode == "trickle":
            end = time.time() + 30
            sock.sendall(code + b"-")
            while time.time() < end:
                sock.sendall(b"z")
                time.sleep(0.02)
        elif mode == "empty":
            sock.sendall(b"\r\n")
            sock.recv(65536)  # the client's next command, then hang up
        elif mode == "reset":
            sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    except OSError:
        pass
    sock.close()


class Handler(socketserver.BaseRequestHandler):
    def setup(self):
        # The test harness's readiness probe connects and hangs up at once: it is not the
        # client, and must not use up the one hostile connection.
        self.probe = False
        r, _, _ = select.select([self.request], [], [], 0.1)
        if r and self.request.recv(1, socket.MSG_PEEK) == b"":
            self.probe = True
        with count_lock:
            if not self.probe:
                connections[0] += 1
            self.first = not self.probe and connections[0] == 1
        self.step = 0
        self.rfile = self.request.makefile("rb")

    def reply(self, code, text):
        """Sends one reply, or misbehaves instead; False when the dialogue is over."""
        if self.first and self.step == step:
            hostile(self.request, code)
            return False
        self.step += 1
        self.request.sendall(code + b" " + text + b"\r\n")
        return True

    def line(self):
        data = self.rfile.readline(65536)
        if not data:
            return None
        return data.rstrip(b"\r\n")

    def handle(self):
        if self.probe:
            return
        try:
            (self.smtp if proto == "smtp" else self.ftp)()
        except OSError:
            pass

    def smtp(self):
        if not self.reply(b"220", b"hostile ESMTP"):
            return
        mail = []
        while True:
            cmd = self.line()
            if cmd is None:
                return
            verb = cmd[:4].upper()
            if verb == b"DATA":
                if not self.reply(b"354", b"go ahead"):
                    return
                while True:
                    l = self.line()
                    if l is None:
                        return
                    if l == b".":
                        break
                    mail.append(l)
                with count_lock:
                    name = os.path.join(folder, "mail-%d.txt" % connections[0])
                with open(name, "wb") as f:
                    f.write(b"\r\n".join(mail) + b"\r\n")
                if not self.reply(b"250", b"queued"):
                    return
            elif verb == b"QUIT":
                self.reply(b"221", b"bye")
                return
            elif not self.reply(b"250", b"ok"):
                return

    def ftp(self):
        if not self.reply(b"220", b"hostile FTP"):
            return
        cwd = "/"
        data = None
        while True:
            cmd = self.line()
            if cmd is None:
                return
            verb, _, arg = cmd.decode("latin-1").partition(" ")
            verb = verb.upper()
            if verb == "USER":
                ok = self.reply(b"331", b"password")
            elif verb == "PASS":
                ok = self.reply(b"230", b"in")
            elif verb == "PWD":
                ok = self.reply(b"257", b'"/"')
            elif verb == "CWD":
                cwd = arg if arg.startswith("/") else os.path.join(cwd, arg)
                ok = self.reply(b"250", b"ok")
            elif verb in ("EPSV", "PASV"):
                data = socket.socket()
                data.bind(("127.0.0.1", 0))
                data.listen(1)
                p = data.getsockname()[1]
                if verb == "EPSV":
                    ok = self.reply(b"229", b"Entering Extended Passive Mode (|||%d|)" % p)
                else:
                    ok = self.reply(b"227", b"Entering Passive Mode (127,0,0,1,%d,%d)" % (p // 256, p % 256))
            elif verb == "TYPE":
                ok = self.reply(b"200", b"type set")
            elif verb == "STOR" and data is not None:
                if not self.reply(b"150", b"send it"):
                    return
                data.settimeout(10)
                conn, _ = data.accept()
                body = b""
                while True:
                    b = conn.recv(65536)
                    if not b:
                        break
                    body += b
                conn.close()
                data.close()
                data = None
                name = os.path.join(folder, os.path.basename(os.path.join(cwd, arg)))
                with open(name, "wb") as f:
                    f.write(body)
                ok = self.reply(b"226", b"stored")
            elif verb == "QUIT":
                self.reply(b"221", b"bye")
                return
            else:
                ok = self.reply(b"502", b"not here")
            if not ok:
                return


class Server(socketserver.ThreadingTCPServer):
    allow_reuse_address = True
    daemon_threads = True


Server(("127.0.0.1", port), Handler).serve_forever()
