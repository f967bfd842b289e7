# A pyftpdlib server that takes uploads slowly and notes each file it stored.
# Arguments: port user password root-folder received-list bytes-per-second
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer

port, user, password, root, received, rate = sys.argv[1:7]


class Handler(FTPHandler):
    dtp_handler = ThrottledDTPHandler
    authorizer = DummyAuthorizer()

    def on_file_received(self, file):
        with open(received, "a", encoding="utf-8") as f:
            f.write(file + "\n")


ThrottledDTPHandler.read_limit = int(rate)
Handler.authorizer.add_user(user, password, root, perm="elradfmw")
FTPServer(("127.0.0.1", int(port)), Handler).serve_forever()
