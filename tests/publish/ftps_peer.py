# A pyftpdlib server that speaks only explicit TLS, control and data. A refused login quotes the
# password it was given, as a careless server would: the program must never show it.
# Arguments: port user password root-folder certificate key
import sys

from pyftpdlib.authorizers import AuthenticationFailed, DummyAuthorizer
from pyftpdlib.handlers import TLS_DTPHandler, TLS_FTPHandler
from pyftpdlib.servers import FTPServer

port, user, password, root, certfile, keyfile = sys.argv[1:7]


class Authorizer(DummyAuthorizer):
    def validate_authentication(self, username, given, handler):
        if username != user or given != password:
            raise AuthenticationFailed("Login incorrect (password %s)." % given)


class Dtp(TLS_DTPHandler):
    # A client may start TLS on the data connection as soon as it connects, before it sends
    # STOR; pyftpdlib would take that early handshake for a hang-up and close the connection.
    def readable(self):
        return self._ssl_accepting or super().readable()


class Handler(TLS_FTPHandler):
    dtp_handler, authorizer, auth_failed_timeout = Dtp, Authorizer(), 0.1
    certfile, keyfile = certfile, keyfile
    tls_control_required = tls_data_required = True


Handler.authorizer.add_user(user, password, root, perm="elradfmw")
FTPServer(("127.0.0.1", int(port)), Handler).serve_forever()
