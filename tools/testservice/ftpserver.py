"""The upload server of the test service: an FTP server on 127.0.0.1 (a free
port) with one account that may store files into one folder. With a drop
limit it resets the data connection of every upload once that many bytes
arrived, as a server that goes away mid-transfer."""

import socket
import struct
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler
from pyftpdlib.servers import ThreadedFTPServer

USER = "orvalo-up"
PASSWORD = "up-pw"


def start(root, drop_after=0):
    """Starts serving in a daemon thread; returns the port."""
    authorizer = DummyAuthorizer()
    authorizer.add_user(USER, PASSWORD, root, perm="elradfmw")

    class Dropping(DTPHandler):
        def handle_read(self):
            super().handle_read()
            if drop_after and self.receive and self.tot_bytes_received >= drop_after:
                try:
                    self.socket.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                except OSError:
                    pass
                self.close()

        handle_read_event = handle_read  # the base class calls this name

    class Handler(FTPHandler):
        dtp_handler = Dropping
        passive_ports = None

    Handler.authorizer = authorizer
    Handler.banner = "Orvalo test upload server"
    server = ThreadedFTPServer(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, kwargs={"handle_exit": False}, daemon=True).start()
    return server.address[1]
