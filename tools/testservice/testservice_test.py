#!/usr/bin/python3
"""The test service's own faults: the relay must outlive a datagram it cannot
send, and never build one over the UDP limit."""

import os
import socket
import sys
import threading
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import testservice  # noqa: E402


class FailingSocket:
    """Wraps the relay's socket; the first `failures` sends raise."""

    def __init__(self, sock, failures):
        self.sock = sock
        self.failures = failures

    def sendto(self, data, address):
        if self.failures > 0:
            self.failures -= 1
            raise OSError(90, "Message too long")
        return self.sock.sendto(data, address)

    def __getattr__(self, name):
        return getattr(self.sock, name)


class RelayTest(unittest.TestCase):
    def setUp(self):
        accounts = testservice.Accounts(os.path.join(testservice.HERE, "accounts.json"))
        self.log = testservice.Log(None)
        self.errors = []
        self.log.error = lambda ep, peer, text: self.errors.append(text)
        self.relay = testservice.Relay(accounts, self.log, 0, 0, 0, 1)
        self.stop = threading.Event()
        self.clients = []

    def tearDown(self):
        self.stop.set()
        for c in self.clients:
            c.close()
        self.relay.sock.close()

    def client(self):
        c = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        c.bind(("127.0.0.1", 0))
        c.settimeout(5)
        self.clients.append(c)
        return c

    def start(self):
        thread = threading.Thread(target=self.relay.run, args=(self.stop,), daemon=True)
        thread.start()
        return thread

    def login(self, c, user, role, tail):
        c.sendto(b"LOGIN\nVERSION 1\n%s\n%s-pw\n%s\n1\n%s" % (user, user, role, tail), ("127.0.0.1", self.relay.port))
        return c.recvfrom(65535)[0]

    def test_a_failed_send_is_logged_and_the_relay_goes_on(self):
        self.relay.sock = FailingSocket(self.relay.sock, 1)
        thread = self.start()
        c = self.client()
        c.sendto(b"LOGIN\nVERSION 1\nanna\nanna-pw\nSHARE\n1\n640\n480\n4\n2\n44100\n2\n0\n0\n\n",
                 ("127.0.0.1", self.relay.port))
        with self.assertRaises(socket.timeout):
            c.settimeout(0.5)
            c.recvfrom(65535)  # the answer was the datagram that failed
        c.settimeout(5)
        answer = self.login(c, b"anna", b"SHARE", b"640\n480\n4\n2\n44100\n2\n0\n0\n\n")
        self.assertTrue(answer.startswith(b"LOGIN OK\n"), answer)
        self.assertTrue(thread.is_alive())
        self.assertEqual(1, len(self.errors))
        self.assertIn("Message too long", self.errors[0])

    def test_a_full_frame_reaches_a_viewer_with_a_longer_session_prefix(self):
        self.start()
        self.relay.next_session = 999
        sharer, viewer = self.client(), self.client()
        self.assertTrue(self.login(sharer, b"anna", b"SHARE", b"640\n480\n4\n2\n44100\n2\n0\n0\n\n").startswith(b"LOGIN OK"))
        self.assertTrue(self.login(viewer, b"bo", b"VIEW", b"999\n\n").startswith(b"LOGIN OK"))
        prefix = b"SESSION\n999\n\n"
        header = b"FRAME\nV\n0\n%d\n7\n%d\n"
        size = 0
        for _ in range(3):  # the payload length's digits change the header
            size = testservice.MAX_DATAGRAM - len(prefix) - len(header % (size, size)) - 2
        frame = header % (size, size) + b"\x5a" * size + b"\n\n"
        self.assertEqual(testservice.MAX_DATAGRAM, len(prefix + frame))
        sharer.sendto(prefix + frame, ("127.0.0.1", self.relay.port))
        data = viewer.recvfrom(65535)[0]
        self.assertEqual(frame, data)  # without the optional 14-byte prefix
        self.assertEqual([], self.errors)

    def test_new_session_goes_out_under_the_old_one(self):
        self.start()
        sharer = self.client()
        answer = self.login(sharer, b"anna", b"SHARE", b"640\n480\n4\n2\n44100\n2\n0\n0\n\n")
        old = int(answer.split(b"\n")[2])
        sharer.sendto(b"SESSION\n%d\n\nREFRESH SESSION\n\n" % old, ("127.0.0.1", self.relay.port))
        data = sharer.recvfrom(65535)[0]
        self.assertEqual(b"SESSION\n%d\n\nNEW SESSION\n%d\n\n" % (old, old + 1), data)


if __name__ == "__main__":
    unittest.main()
