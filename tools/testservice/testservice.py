#!/usr/bin/python3
"""Local stand-in for the online service: chat and presence server (TCP),
video-sharing relay (UDP) and the HUD's web requests (HTTP), all on
127.0.0.1 with free ports. Standard library only."""

import argparse
import http.server
import json
import os
import random
import signal
import socket
import socketserver
import struct
import sys
import threading
import time
import urllib.parse

import desktopweb

HERE = os.path.dirname(os.path.abspath(__file__))
MAX_LINE_BUFFER = 1 << 20  # a client that never ends a message is cut off
MAX_DATAGRAM = 65507


class Log:
    """JSON lines of every byte block received and sent."""

    def __init__(self, path):
        self.lock = threading.Lock()
        self.file = open(path, "a", buffering=1) if path else None
        self.start = time.time()

    def write(self, ep, peer, direction, data, **extra):
        if not self.file:
            return
        entry = {"t": round(time.time() - self.start, 4), "ep": ep, "peer": "%s:%d" % peer,
                 "dir": direction, "hex": data.hex()}
        entry.update(extra)
        with self.lock:
            self.file.write(json.dumps(entry) + "\n")

    def error(self, ep, peer, text):
        """A failure the service survives: logged and shown on stderr."""
        print("testservice: %s %s:%d: %s" % (ep, peer[0], peer[1], text), file=sys.stderr, flush=True)
        self.write(ep, peer, "error", text.encode("utf-8", "replace"))


class Accounts:
    def __init__(self, path):
        with open(path) as f:
            data = json.load(f)
        self.users = data.get("users", {})
        self.groups = data.get("groups", {})
        self.permissions = data.get("permissions", {})

    def check(self, user, password):
        entry = self.users.get(user)
        return entry is not None and entry.get("password") == password

    def friends(self, user):
        names = []
        for members in self.groups.get(user, {}).values():
            names.extend(members)
        return names


def message(*lines):
    """One message of the line protocols: lines, then an empty line."""
    return ("".join("%s\n" % line for line in lines) + "\n").encode("latin-1")


# ---------------------------------------------------------------- chat server

class ChatServer:
    def __init__(self, accounts, log, vs_host, vs_port):
        self.accounts = accounts
        self.log = log
        self.vs_host = vs_host
        self.vs_port = vs_port
        self.lock = threading.RLock()
        self.online = {}  # user -> connection
        self.sessions = {}  # number -> list of members
        self.next_session = 1

    def send(self, conn, data):
        try:
            conn.request.sendall(data)
            self.log.write("chat", conn.client_address, "out", data)
        except OSError:
            pass

    def send_to(self, user, data):
        conn = self.online.get(user)
        if conn:
            self.send(conn, data)

    def friends_list(self, user):
        lines = ["FRIENDS LIST", str(len(self.accounts.groups.get(user, {})))]
        for name, members in self.accounts.groups.get(user, {}).items():
            on = [m for m in members if m in self.online]
            off = [m for m in members if m not in self.online]
            lines += [name, str(len(on))] + on + [str(len(off))] + off
        return message(*lines)

    def presence(self, user, word):
        for other, conn in list(self.online.items()):
            if other != user and user in self.accounts.friends(other):
                self.send(conn, message("FRIEND CONNECTION STATUS", user, word))

    def session_update(self, number):
        members = self.sessions[number]
        for m in members:
            self.send_to(m, message("CHAT SESSION", number, len(members), *members))

    def leave(self, user, number):
        members = self.sessions.get(number)
        if not members or user not in members:
            return
        members.remove(user)
        if len(members) <= 1:
            for m in members:
                self.send_to(m, message("CHAT SESSION TERMINATED", number))
            del self.sessions[number]
        else:
            self.session_update(number)

    def handle(self, conn, lines):
        user = conn.user
        name = lines[0] if lines else ""
        if name == "LOGIN":
            if len(lines) < 5 or lines[1] != "VERSION 2" or not self.accounts.check(lines[2], lines[3]):
                self.send(conn, message("LOGIN FAILED", "Wrong user name or password"))
                return
            user = conn.user = lines[2]
            old = self.online.get(user)
            if old and old is not conn:
                old.user = None
                try:
                    old.request.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass
            self.online[user] = conn
            self.send(conn, message("LOGIN OK", "Welcome " + user, self.vs_host, self.vs_port))
            self.send(conn, self.friends_list(user))
            self.presence(user, "Logon")
            return
        if not user:
            return  # nothing but LOGIN before signing in
        if name == "START CHAT" and len(lines) >= 2:
            count = int(lines[1]) if lines[1].lstrip("-").isdigit() else 0
            names = [n for n in lines[2:2 + max(count, 0)] if n in self.online and n != user]
            if not names:
                self.send(conn, message("START CHAT FAILED", "Nobody to chat with is online"))
                return
            number = self.next_session
            self.next_session += 1
            self.sessions[number] = [user] + names
            self.session_update(number)
        elif name == "CHAT SESSION SEND" and len(lines) >= 4:
            number = int(lines[1]) if lines[1].isdigit() else 0
            members = self.sessions.get(number)
            if not members or user not in members:
                self.send(conn, message("CHAT SESSION SEND FAILED", lines[1], "No such chat"))
                return
            for m in members:
                self.send_to(m, message("CHAT SESSION MESSAGE", number, user, lines[3]))
        elif name == "LEAVE CHAT" and len(lines) >= 2:
            number = int(lines[1]) if lines[1].isdigit() else 0
            self.leave(user, number)
            self.send(conn, message("LEAVE CHAT OK"))
        elif name == "VIEW DESKTOP" and len(lines) >= 3:
            self.send_to(lines[1], message("SHARE DESKTOP", user, lines[2]))
            self.send(conn, message("VIEW DESKTOP OK"))
        elif name == "MY DESKTOP ID" and len(lines) >= 5:
            self.send_to(lines[1], message("DESKTOP ID", user, lines[2], lines[3], lines[4]))
        elif name == "REQUEST VOICE" and len(lines) >= 6:
            if lines[1] not in self.online:
                self.send(conn, message("REQUEST VOICE FAILED", lines[1], "Not online"))
                return
            self.send_to(lines[1], message("VOICE", user, lines[2], lines[3], lines[4], lines[5]))
            self.send(conn, message("REQUEST VOICE OK"))

    def gone(self, conn):
        user = conn.user
        if user and self.online.get(user) is conn:
            del self.online[user]
            for number in list(self.sessions):
                self.leave(user, number)
            self.presence(user, "Logoff")

    def make_handler(self):
        server = self

        class Handler(socketserver.BaseRequestHandler):
            def handle(self):
                self.user = None
                buffer = b""
                lines = []
                previous_lf = False
                line = bytearray()
                try:
                    while True:
                        data = self.request.recv(65536)
                        if not data:
                            break
                        server.log.write("chat", self.client_address, "in", data)
                        for byte in data:
                            if byte == 13:
                                previous_lf = False
                                continue
                            if byte == 10:
                                if previous_lf:
                                    with server.lock:
                                        try:
                                            server.handle(self, lines)
                                        except (ValueError, IndexError):
                                            pass  # a malformed message is ignored
                                    lines = []
                                else:
                                    lines.append(line.decode("latin-1"))
                                    line = bytearray()
                                previous_lf = True
                                continue
                            previous_lf = False
                            line.append(byte)
                            if len(line) > MAX_LINE_BUFFER:
                                return
                except OSError:
                    pass
                finally:
                    with server.lock:
                        server.gone(self)

        return Handler


# --------------------------------------------------------- video-sharing relay

def parse_datagram(data):
    """Messages of one datagram as lists of lines (bytes); a FRAME message
    keeps its raw bytes in raw (for forwarding) and its payload as line 7."""
    messages = []
    current = []
    start = 0
    i = 0
    n = len(data)
    while i < n:
        j = i
        while j < n and data[j] not in (10, 13):
            j += 1
        if j >= n:
            break
        line = data[i:j]
        end = j + (2 if data[j] == 13 and j + 1 < n and data[j + 1] == 10 else 1)
        i = end
        if not line:
            messages.append((current, data[start:i]))
            current = []
            start = i
            continue
        current.append(line)
        if len(current) == 6 and current[0] == b"FRAME":
            try:
                length = int(current[5])
            except ValueError:
                break
            if length < 0 or length > n - i:
                break
            current.append(data[i:i + length])
            i += length
            if i < n and data[i] == 13 and i + 1 < n and data[i + 1] == 10:
                i += 2
            elif i < n and data[i] in (10, 13):
                i += 1
            else:
                break
    return messages


class Client:
    def __init__(self, address, user, role, session, nonce):
        self.address = address
        self.user = user
        self.role = role  # "SHARE" or "VIEW"
        self.session = session
        self.nonce = nonce
        self.params = None  # the sharer's stream parameters and game number
        self.viewing = None  # the sharer's Client
        self.login_ok = b""


class Relay:
    def __init__(self, accounts, log, drop, reorder, duplicate, seed):
        self.accounts = accounts
        self.log = log
        self.drop = drop / 100.0
        self.reorder = reorder / 100.0
        self.duplicate = duplicate / 100.0
        self.random = random.Random(seed)
        self.clients = {}  # address -> Client
        self.by_session = {}  # session -> Client
        self.next_session = 100
        self.held = {}  # viewer address -> datagram held back for reordering
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4 << 20)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_SNDBUF, 4 << 20)
        self.sock.bind(("127.0.0.1", 0))
        self.port = self.sock.getsockname()[1]
        self.stats = {"frames_in": 0, "forwarded": 0, "dropped": 0, "duplicated": 0, "reordered": 0}

    def send(self, address, data, forwarded=False):
        self.sock.sendto(data, address)
        self.log.write("vs", address, "out", data if not forwarded else data[:64], size=len(data))

    def prefix(self, client):
        return b"SESSION\n%d\n\n" % client.session

    def new_session(self, client):
        if client.session in self.by_session:
            del self.by_session[client.session]
        client.session = self.next_session
        self.next_session += 1
        self.by_session[client.session] = client

    def refresh_session(self, client):
        for v in self.viewers_of(client):
            self.send(v.address, self.prefix(v) + b"LOGOUT\n\n")
            v.viewing = None
        # Under the session the client still has: a prefix naming the new
        # one would make it ignore the message.
        old_prefix = self.prefix(client)
        self.new_session(client)
        self.send(client.address, old_prefix + b"NEW SESSION\n%d\n\n" % client.session)

    def viewers_of(self, sharer):
        return [c for c in self.clients.values() if c.role == "VIEW" and c.viewing is sharer]

    def drop_client(self, client, tell_viewers=True):
        self.clients.pop(client.address, None)
        if self.by_session.get(client.session) is client:
            del self.by_session[client.session]
        if client.role == "SHARE" and tell_viewers:
            for v in self.viewers_of(client):
                self.send(v.address, self.prefix(v) + b"LOGOUT\n\n")
                v.viewing = None

    def login(self, address, lines):
        text = [x.decode("latin-1") for x in lines]
        if len(text) < 6 or text[1] != "VERSION 1" or not self.accounts.check(text[2], text[3]):
            self.send(address, b"LOGIN FAILED\nx\nWrong user name or password\n\n")
            return
        user, role, nonce = text[2], text[4], text[5]
        old = self.clients.get(address)
        if old and old.nonce == nonce and old.user == user and old.login_ok:
            self.send(address, old.login_ok)  # a retry of a login already answered
            return
        if old:
            self.drop_client(old)
        if role == "SHARE":
            if len(text) < 14:
                self.send(address, b"LOGIN FAILED\nx\nIncomplete login\n\n")
                return
            client = Client(address, user, role, 0, nonce)
            client.params = text[6:13]  # width ... bytes per sample, game number
            client.options = text[14:14 + (int(text[13]) if text[13].isdigit() else 0)]
        elif role == "VIEW":
            target = self.by_session.get(int(text[6]) if len(text) > 6 and text[6].isdigit() else -1)
            if not target or target.role != "SHARE":
                self.send(address, b"LOGIN FAILED\nx\nNo such session\n\n")
                return
            client = Client(address, user, role, 0, nonce)
            client.viewing = target
            client.params = target.params
        else:
            self.send(address, b"LOGIN FAILED\nx\nUnknown login kind\n\n")
            return
        self.new_session(client)
        self.clients[address] = client
        client.login_ok = ("LOGIN OK\nWelcome %s\n%d\n%s\n\n" % (user, client.session, "\n".join(client.params))).encode("latin-1")
        self.send(address, client.login_ok)

    def forward(self, sharer, frames):
        viewers = self.viewers_of(sharer)
        for v in viewers:
            prefix = self.prefix(v)
            datagram = prefix
            for raw in frames:
                if len(datagram) + len(raw) > MAX_DATAGRAM and len(datagram) > len(prefix):
                    self.impaired_send(v, datagram)
                    datagram = prefix
                if len(datagram) + len(raw) > MAX_DATAGRAM:
                    # The viewer's prefix is longer than the sharer's: the
                    # prefix is optional from the server, the frame is not.
                    datagram = b""
                datagram += raw
                if not datagram.startswith(prefix):
                    self.impaired_send(v, datagram)
                    datagram = prefix
            if len(datagram) > len(prefix):
                self.impaired_send(v, datagram)

    def impaired_send(self, viewer, datagram):
        r = self.random
        if r.random() < self.drop:
            self.stats["dropped"] += 1
            return
        copies = 2 if r.random() < self.duplicate else 1
        if copies == 2:
            self.stats["duplicated"] += 1
        if r.random() < self.reorder and viewer.address not in self.held:
            self.held[viewer.address] = (datagram, copies)
            self.stats["reordered"] += 1
            return
        for _ in range(copies):
            self.send(viewer.address, datagram, forwarded=True)
            self.stats["forwarded"] += 1
        held = self.held.pop(viewer.address, None)
        if held:
            for _ in range(held[1]):
                self.send(viewer.address, held[0], forwarded=True)
                self.stats["forwarded"] += 1

    def flush_held(self):
        for address, (datagram, copies) in list(self.held.items()):
            for _ in range(copies):
                self.send(address, datagram, forwarded=True)
                self.stats["forwarded"] += 1
        self.held.clear()

    def handle(self, address, data):
        messages = parse_datagram(data)
        client = self.clients.get(address)
        frames = []
        for index, (lines, raw) in enumerate(messages):
            if not lines:
                break
            name = lines[0]
            if name == b"LOGIN":
                self.login(address, lines)
                return
            if name == b"LOGOUT":
                if client:
                    self.drop_client(client)
                return
            if client is None:
                return
            if name == b"SESSION":
                number = int(lines[1]) if len(lines) > 1 and lines[1].isdigit() else -1
                if number != client.session:
                    self.send(address, b"SESSION INVALID\n%d\nUnknown session\n\n" % number)
                    return
            elif name == b"ECHO":
                if not self.accounts.users.get(client.user, {}).get("noecho"):
                    self.send(address, self.prefix(client) + b"ECHO REPLY\n\n")
            elif name == b"ECHO REPLY":
                pass
            elif name == b"LOGOUT OK":
                self.drop_client(client)
                return
            elif name == b"REQUEST VIEWERS":
                names = [v.user for v in self.viewers_of(client)]
                self.send(address, self.prefix(client) + message("VIEWERS", len(names), *names))
            elif name == b"REFRESH SESSION":
                self.refresh_session(client)
            elif name == b"FRAME" and client.role == "SHARE" and len(lines) >= 7:
                self.stats["frames_in"] += 1
                frames.append(raw)
        if frames:
            self.forward(client, frames)

    def run(self, stop):
        self.sock.settimeout(0.2)
        while not stop.is_set():
            try:
                data, address = self.sock.recvfrom(65535)
            except socket.timeout:
                try:
                    self.flush_held()
                except OSError as error:
                    self.log.error("vs", ("127.0.0.1", 0), "flushing held datagrams: %s" % error)
                continue
            except OSError:
                continue
            self.log.write("vs", address, "in", data)
            try:
                self.handle(address, data)
            except (ValueError, IndexError) as error:
                self.log.write("vs", address, "error", str(error).encode())
            except OSError as error:
                # A datagram that cannot be sent (too large, an unreachable
                # peer) costs that datagram, never the relay.
                self.log.error("vs", address, "send failed: %s" % error)


# ----------------------------------------------------------------- web server

def make_http_handler(accounts, log, lock, desktop=None):
    prefix = "/services/vqhud.4.0.6.0/"

    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def log_message(self, *args):
            pass

        def reply(self, code, body):
            data = body.encode("latin-1")
            self.send_response(code)
            self.send_header("Content-Type", "text/plain")
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            self.wfile.write(data)

        def reply_bytes(self, code, content_type, data):
            self.send_response(code)
            self.send_header("Content-Type", content_type)
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            self.wfile.write(data)

        def handle_request(self):
            length = int(self.headers.get("Content-Length", "0") or 0)
            body = self.rfile.read(min(max(length, 0), 1 << 20)) if length > 0 else b""
            head = "%s %s %s\r\n%s\r\n" % (self.command, self.path, self.request_version, str(self.headers).replace("\n", "\r\n"))
            log.write("http", self.client_address, "in", head.encode("latin-1") + body)
            url = urllib.parse.urlsplit(self.path)
            query = dict(urllib.parse.parse_qsl(url.query, keep_blank_values=True))
            user, password = query.get("un", ""), query.get("pw", "")
            answer = desktop.handle(url.path, query, self.headers.get("Host", "127.0.0.1"), body,
                                    self.headers.get("Content-Type", "")) if desktop else None
            if answer and len(answer) == 4:
                # A cut download: the full length is announced, part is sent.
                self.send_response(answer[0])
                self.send_header("Content-Type", answer[1])
                self.send_header("Content-Length", str(answer[3]))
                self.send_header("Connection", "close")
                self.end_headers()
                self.wfile.write(answer[2])
                self.wfile.flush()
                self.close_connection = True
                return None
            if answer:
                return self.reply_bytes(*answer)
            if not url.path.startswith(prefix):
                return self.reply(404, "not found\n")
            if not accounts.check(user, password):
                return self.reply(403, "bad user\n")
            page = url.path[len(prefix):]
            with lock:
                perms = accounts.permissions.setdefault(user, {"default": [0, 0, 0], "friends": {}})
                if page == "getPermissions.php":
                    lines = ["player permissions", "%d %d %d" % tuple(perms["default"])]
                    for handle, values in sorted(perms["friends"].items()):
                        lines.append("%s %d %d %d" % (handle, *values))
                    return self.reply(200, "\n".join(lines) + "\n")
                if page == "setPermissions.php" and self.command == "POST":
                    try:
                        values = [int(query["contact"]), int(query["chat"]), int(query["video"])]
                    except (KeyError, ValueError):
                        return self.reply(400, "bad values\n")
                    if "handle" in query:
                        perms["friends"][query["handle"]] = values
                    else:
                        perms["default"] = values
                    return self.reply(200, "OK\n")
            return self.reply(404, "not found\n")

        do_GET = handle_request
        do_POST = handle_request

    return Handler


# ------------------------------------------------------------ hostile peers
#
# With --hostile every endpoint is a rude but well-formed peer, for the
# clients' robustness tests: messages split across TCP segments, CR line
# ends, a short "LOGIN OK", "NEW SESSION 0", negative and huge numbers,
# non-ASCII names, floods, responses without Content-Length, and resets.

HOSTILE_NAME = "Zo\xeb"  # latin-1 on the wire
HOSTILE_FLOOD = 10000  # chat messages sent in one burst after a login
HOSTILE_JUNK = [
    message("CHAT SESSION", -5, 99999999999),
    message("FRIENDS LIST", -1),
    message("DESKTOP ID", HOSTILE_NAME, -7, "127.0.0.1", 99999999),
    message("VOICE", "bo", "Start", 99999999999, "127.0.0.1", -1),
    message("CHAT SESSION MESSAGE", 1, HOSTILE_NAME, "ol\xe9"),
]


def chat_crlf(data):
    """Lines end with CR LF; the empty line that ends a message stays a bare
    LF (the receiver skips CRs, and CR LF CR LF would not end the message)."""
    return data.replace(b"\n", b"\r\n").replace(b"\r\n\r\n", b"\r\n\n")


def reset_connection(sock):
    """Closes with an RST instead of a FIN."""
    try:
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        sock.close()
    except OSError:
        pass


def send_in_pieces(sock, data, rng):
    """Sends data in segments of 1 to 7 bytes."""
    sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    at = 0
    while at < len(data):
        step = rng.randint(1, 7)
        sock.sendall(data[at:at + step])
        at += step
        time.sleep(0.0005)


class HostileChatServer(ChatServer):
    def __init__(self, *args, seed=1):
        super().__init__(*args)
        self.random = random.Random(seed)

    def send(self, conn, data, split=True):
        data = chat_crlf(data)
        try:
            if split and len(data) < 4096:
                send_in_pieces(conn.request, data, self.random)
            else:
                conn.request.sendall(data)
            self.log.write("chat", conn.client_address, "out", data)
        except OSError:
            pass

    def friends_list(self, user):
        lines = ["FRIENDS LIST", str(len(self.accounts.groups.get(user, {})) + 1)]
        for name, members in self.accounts.groups.get(user, {}).items():
            on = [m for m in members if m in self.online]
            off = [m for m in members if m not in self.online]
            lines += [name, str(len(on))] + on + [str(len(off))] + off
        lines += ["Amig\xe9s", "1", HOSTILE_NAME, "0"]
        return message(*lines)

    def handle(self, conn, lines):
        if not lines or lines[0] != "LOGIN":
            return super().handle(conn, lines)
        if len(lines) < 5 or lines[1] != "VERSION 2" or not self.accounts.check(lines[2], lines[3]):
            # The refusal, then a reset: the refusal must still be read.
            data = message("LOGIN FAILED", "Wrong user name or password")
            conn.request.sendall(data)
            self.log.write("chat", conn.client_address, "out", data)
            reset_connection(conn.request)
            return
        user = conn.user = lines[2]
        self.online[user] = conn
        self.send(conn, message("LOGIN OK"))  # no server, no port
        self.send(conn, self.friends_list(user))
        for junk in HOSTILE_JUNK:
            self.send(conn, junk)
        flood = b"".join(message("CHAT SESSION MESSAGE", 1, "flood", "line %d" % i) for i in range(HOSTILE_FLOOD))
        self.send(conn, flood, split=False)
        self.send(conn, message("LEAVE CHAT OK"))  # the end of the burst
        self.presence(user, "Logon")


def make_hostile_http_handler(accounts, log, lock, desktop=None):
    """Answers without Content-Length, in small segments, with a non-ASCII
    header, and ends the body by closing: with an RST when the query holds
    reset=1 (the whole answer then goes out in one piece first)."""
    polite = make_http_handler(accounts, log, lock, desktop)
    rng = random.Random(5)

    class Handler(polite):
        def reply(self, code, body):
            head = "HTTP/1.1 %d %s\r\nContent-Type: text/plain\r\nX-Name: %s\r\nConnection: close\r\n\r\n" % (
                code, self.responses.get(code, ("",))[0], HOSTILE_NAME)
            data = head.encode("latin-1") + body.encode("latin-1")
            self.close_connection = True
            log.write("http", self.client_address, "out", data)
            if "reset=1" in self.path:
                self.request.sendall(data)
                reset_connection(self.request)
            else:
                send_in_pieces(self.request, data, rng)

    return Handler


class HostileRelay(Relay):
    """CR line ends everywhere (forwarded frames re-encoded), a short
    "LOGIN OK" before every answer to a login, junk and a flood after a
    login, "NEW SESSION 0" for "REFRESH SESSION", and datagrams of a
    logged-in client without a session prefix ignored."""

    FLOOD_DATAGRAMS = 20

    def send(self, address, data, forwarded=False):
        if not forwarded:
            data = data.replace(b"\n", b"\r")  # text only: no payloads here
        super().send(address, data, forwarded)

    def prefix(self, client):
        return b"SESSION\r%d\r\r" % client.session

    def forward(self, sharer, frames):
        encoded = []
        for raw in frames:
            lines = parse_datagram(raw)[0][0]
            encoded.append(b"\r".join(lines[:6]) + b"\r" + lines[6] + b"\r\r")
        super().forward(sharer, encoded)

    def login(self, address, lines):
        self.send(address, b"LOGIN OK\nshort\n\n")  # fewer than 10 lines
        before = self.clients.get(address)
        super().login(address, lines)
        client = self.clients.get(address)
        if client and client is not before:
            self.after_login(client)

    def after_login(self, client):
        p = self.prefix(client)
        self.send(client.address, p + b"VIEWERS\n-1\n\nVIEWERS\n99999999999\nx\n\nSESSION INVALID\n-7\n\n"
                  b"SESSION INVALID\n99999999999\n\nFRAME\nv\n-5\n4\n1\n4\nabcd\n\n"
                  b"FRAME\nv\n0\n99999999999\n1\n4\nabcd\n\nVIEWERS\n1\n" + HOSTILE_NAME.encode("latin-1") + b"\n\n")
        # One-byte pieces of a packet far in the future, and echoes.
        pieces = p
        offset = 0
        while len(pieces) < 60000:
            pieces += b"FRAME\rv\r%d\r8000000\r1000000000000\r1\rx\r\r" % offset
            offset += 2
        for _ in range(self.FLOOD_DATAGRAMS):
            super().send(client.address, pieces, forwarded=True)
            self.send(client.address, p + b"ECHO\n\n")

    def refresh_session(self, client):
        for v in self.viewers_of(client):
            self.send(v.address, self.prefix(v) + b"LOGOUT\n\n")
            v.viewing = None
        old_prefix = self.prefix(client)
        if self.by_session.get(client.session) is client:
            del self.by_session[client.session]
        client.session = 0
        self.by_session[0] = client
        self.send(client.address, old_prefix + b"NEW SESSION\n0\n\n")

    def handle(self, address, data):
        client = self.clients.get(address)
        messages = parse_datagram(data)
        first = messages[0][0] if messages and messages[0][0] else [b""]
        if client and first[0] not in (b"SESSION", b"LOGIN", b"LOGOUT"):
            self.log.error("vs", address, "datagram without a session prefix ignored")
            return
        super().handle(address, data)


class ThreadingTCP(socketserver.ThreadingMixIn, socketserver.TCPServer):
    daemon_threads = True
    allow_reuse_address = True


class ThreadingHTTP(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--accounts", default=os.path.join(HERE, "accounts.json"))
    parser.add_argument("--ports-file")
    parser.add_argument("--log")
    parser.add_argument("--drop", type=float, default=0.0, help="percent of forwarded datagrams lost")
    parser.add_argument("--reorder", type=float, default=0.0, help="percent held back behind the next one")
    parser.add_argument("--duplicate", type=float, default=0.0, help="percent sent twice")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--catalogue", help="INI file of the desktop's game catalogue (default games.ini)")
    parser.add_argument("--installer", help="the program served as the desktop's update installer")
    parser.add_argument("--max-seconds", type=float, default=900.0, help="stop after this long in any case")
    parser.add_argument("--hostile", action="store_true", help="rude but well-formed peers (robustness tests)")
    parser.add_argument("--ftp-root", help="also run an FTP upload server storing into this folder")
    parser.add_argument("--ftp-drop-after", type=int, default=0,
                        help="the FTP server breaks off every upload after this many bytes")
    parser.add_argument("--received", help="folder keeping what the desktop's publishing pages received")
    parser.add_argument("--register-reply", default="OK", help="reply of registermedia.php for a known user")
    args = parser.parse_args()

    accounts = Accounts(args.accounts)
    log = Log(args.log)
    stop = threading.Event()

    relay_class = HostileRelay if args.hostile else Relay
    relay = relay_class(accounts, log, args.drop, args.reorder, args.duplicate, args.seed)
    desktop = desktopweb.DesktopWeb(accounts, args.catalogue, args.installer)
    desktop.received = args.received
    desktop.register_reply = args.register_reply.encode("latin-1").decode("unicode_escape")
    ftp_port = 0
    if args.ftp_root:
        import ftpserver
        ftp_port = ftpserver.start(args.ftp_root, args.ftp_drop_after)
        desktop.upload_server = "127.0.0.1:%d;%s;%s;" % (ftp_port, ftpserver.USER, ftpserver.PASSWORD)
    if args.hostile:
        chat = HostileChatServer(accounts, log, "127.0.0.1", relay.port, seed=args.seed)
        http_handler = make_hostile_http_handler(accounts, log, threading.Lock(), desktop)
    else:
        chat = ChatServer(accounts, log, "127.0.0.1", relay.port)
        http_handler = make_http_handler(accounts, log, threading.Lock(), desktop)
    chat_server = ThreadingTCP(("127.0.0.1", 0), chat.make_handler())
    http_server = ThreadingHTTP(("127.0.0.1", 0), http_handler)

    for target in (chat_server.serve_forever, http_server.serve_forever, lambda: relay.run(stop)):
        threading.Thread(target=target, daemon=True).start()

    ports = {"chat": chat_server.server_address[1], "vs": relay.port, "http": http_server.server_address[1],
             "ftp": ftp_port, "pid": os.getpid()}
    if args.ports_file:
        tmp = args.ports_file + ".tmp"
        with open(tmp, "w") as f:
            json.dump(ports, f)
        os.replace(tmp, args.ports_file)
    print("PORTS chat=%d vs=%d http=%d" % (ports["chat"], ports["vs"], ports["http"]), flush=True)

    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    deadline = time.time() + args.max_seconds
    while not stop.is_set() and time.time() < deadline:
        stop.wait(0.5)
    stop.set()
    log.write("vs", ("127.0.0.1", 0), "stats", json.dumps(relay.stats).encode())
    print("STATS " + json.dumps(relay.stats), flush=True)
    chat_server.shutdown()
    http_server.shutdown()


if __name__ == "__main__":
    main()
