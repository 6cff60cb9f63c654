"""A host in another language drives the legacy SMS object: the module is loaded with ctypes and
called through vtables and IDispatch only. A scripted server on loopback plays the legacy service
(one framed markup document in, one out, per connection), records every request and answers what
each test scripts, broken frames included; the last tests talk to a real vexa-sandbox process over
the legacy protocol and look at the same transfers over REST.

Run: python3 ctypes_legacy_test.py /path/to/VexaComponent32.so --sandbox /path/to/vexa-sandbox
     [unittest options]  (without --sandbox the sandbox tests are skipped)
"""

import datetime
import os
import socketserver
import struct
import unittest
import zlib
from ctypes import byref, c_int32, c_void_p
from dataclasses import dataclass, field
from typing import NamedTuple
from unittest.mock import ANY

import vexa_ctypes
from vexa_ctypes import (BSTR, CLSID_Message, CLSID_SMS, DIID_DispSMS, DISP_E_UNKNOWNNAME, DISP_MESSAGE,
                         DISPATCH_METHOD, DISPATCH_PROPERTYGET, E_INVALIDARG, E_NOINTERFACE, IID_ILoginInfo,
                         IID_IMessage, IID_IServiceEndpoint, IID_ISMS, IID_IUnknown, ILOGININFO, ISERVICEENDPOINT,
                         ISMS, IUNKNOWN, PTR, S_OK, VEXA_BYALL, VEXA_BYRESERVATION, VEXA_DIRECT, VEXA_E_LOGINFAIL,
                         VEXA_E_LOGLISTNOTFOUND, VEXA_E_NEEDFORCALL, VEXA_E_NOTCONNECTED, VEXA_E_NOTLOGINED,
                         VEXA_E_RECEIVERNOTFOUND, VEXA_E_SERVERERROR, VEXA_FAILED, VEXA_MESSAGE_TYPE_SMS,
                         VEXA_RESERVATION, VEXA_SUCCEEDED, VEXA_TRANS_FAILED, VEXA_TRANS_NOTEXISTNUMBER,
                         VEXA_TRANS_RECEIVED, VEXA_TRANS_REQUESTED, VEXA_TRANS_SUCCEEDED, VEXA_TRANS_WAITING,
                         VT_DATE, VT_DISPATCH, HostTestCase, Typed, local_date, ole_date)

SANDBOX = None  # the vexa-sandbox executable, from --sandbox
WIRE = "cp949"  # the legacy protocol's text encoding

# DispSMS: the members DispMessage shares with it, and the two send methods in the places of Send/SendOne.
MESSAGE_ONLY = ("SetAccountInfo", "Send", "SendOne", "CreateContents")
DISP_SMS = {name: dispid for name, dispid in DISP_MESSAGE.items() if name not in MESSAGE_ONLY}
DISP_SMS.update(SendSMS=21, SendSMSOne=22)


# ---------------------------------------------------------------------------------------------
# The markup: one tag per line, a tab per level, attribute values in double quotes, and entities
# for the characters that would be read as markup.

ENTITIES = [("&", "&amp;"), ('"', "&quot;"), ("<", "&lt;"), (">", "&gt;"), ("=", "&equ;"), ("/", "&slsh;"),
            ("\n", "&br;"), ("\t", "&tab;"), (" ", "&nbsp;")]


@dataclass
class Element:
    name: str
    attrs: dict = field(default_factory=dict)
    text: str = ""
    children: list = field(default_factory=list)

    def child(self, name):
        return next(child for child in self.children if child.name == name)


def el(name, /, *content, **attrs):
    """An element from its text (the strings among `content`), child elements and attributes."""
    text = "".join(item for item in content if isinstance(item, str))
    children = [item for item in content if isinstance(item, Element)]
    return Element(name, {key: str(value) for key, value in attrs.items()}, text, children)


def tpml_escape(value):
    """Each markup character as its entity; a pair of spaces as one &nbsp;, a lone space as it is."""
    plain = dict(ENTITIES[:-1])
    out, at = [], 0
    while at < len(value):
        if value.startswith("  ", at):
            out.append("&nbsp;")
            at += 2
        else:
            out.append(plain.get(value[at], value[at]))
            at += 1
    return "".join(out)


def tpml_unescape(value):
    # Last entity first, so that "&amp;" is decoded last and only one level deep.
    for char, entity in reversed(ENTITIES):
        value = value.replace(entity, char)
    return value


def tpml_write(elements, depth=0):
    out = []
    for element in elements:
        tabs = "\t" * depth
        head = tabs + "<" + element.name + "".join(f' {k}="{tpml_escape(v)}"' for k, v in element.attrs.items())
        if element.children:
            value = f' value="{tpml_escape(element.text)}"' if element.text else ""
            out.append(f"{head}{value}>\n{tpml_write(element.children, depth + 1)}{tabs}</{element.name}>\n")
        elif element.text:
            out.append(f"{head}>{tpml_escape(element.text)}</{element.name}>\n")
        else:
            out.append(head + "/>\n")
    return "".join(out)


class TpmlReader:
    SKIPPED, SINGLE, TERMINATORS, NOT_IN_NAME = " \t\n\r", "<=>/", " \t\n", " <=>/"

    def __init__(self, text):
        self.text, self.at = text, 0

    def _quoted_run(self, start):
        close = self.text.find('"', start + 1)
        self.at = len(self.text) if close < 0 else close + 1

    def token(self):
        """The next token with where it starts and ends in the text; "" at the end."""
        text = self.text
        while self.at < len(text) and text[self.at] in self.SKIPPED:
            self.at += 1
        start = self.at
        if start == len(text):
            return "", start, start
        if text[start] in self.SINGLE:
            self.at += 1
        elif text[start] == '"':
            self._quoted_run(start)
        else:
            while self.at < len(text) and text[self.at] not in self.SINGLE + self.TERMINATORS:
                if text[self.at] == '"':
                    self._quoted_run(self.at)
                    break
                self.at += 1
        return text[start:self.at], start, self.at

    def document(self):
        elements = []
        while True:
            token = self.token()[0]
            if not token:
                return elements
            if token != "<":
                raise ValueError(f"top-level text {token!r}")
            elements.append(self.element())

    def element(self):
        name = self.token()[0]
        if not name or any(char in self.NOT_IN_NAME for char in name):
            raise ValueError(f"element name {name!r}")
        element, in_start_tag, text = Element(name), True, None
        while True:
            token, start, end = self.token()
            if not token:
                raise ValueError(f"<{name}> is not closed")
            if token == "/":
                if not in_start_tag or self.token()[0] != ">":
                    raise ValueError(f"a slash in <{name}>")
                break
            if token == ">" and in_start_tag:
                in_start_tag = False
            elif token == "<" and not in_start_tag:
                mark = self.at
                if [self.token()[0] for _ in range(3)] == ["/", name, ">"]:
                    break
                self.at = mark
                element.children.append(self.element())
            elif token in ("<", ">"):
                raise ValueError(f"{token!r} in <{name}>")
            elif in_start_tag:
                equals, value = self.token()[0], self.token()[0]
                if equals != "=" or len(value) < 2 or not (value.startswith('"') or value.endswith('"')):
                    raise ValueError(f"attribute {token!r} of <{name}>")
                if token == "value":
                    element.text = tpml_unescape(value[1:-1])
                else:
                    element.attrs[token] = tpml_unescape(value[1:-1])
            elif element.children:
                raise ValueError(f"text after the children of <{name}>")
            else:
                text = (start if text is None else text[0], end)
        if text:
            element.text = tpml_unescape(self.text[text[0]:text[1]])
        return element


def tpml_read(text):
    return TpmlReader(text).document()


def escape_field(text):
    """What the client does to a text the user gave before it goes into a request."""
    return text.replace("\\", "\\\\").replace("'", "\\'").replace("\r", "")


# ---------------------------------------------------------------------------------------------
# Frames: a little-endian length word, then the body; with the high bit set, a second word with the
# body's length and the body compressed with zlib.

COMPRESSED = 0x80000000


def plain_frame(text):
    body = text.encode(WIRE)
    return struct.pack("<I", len(body)) + body


def compressed_frame(text, declared=None):
    body = text.encode(WIRE)
    data = zlib.compress(body)
    return struct.pack("<II", (len(data) + 4) | COMPRESSED, len(body) if declared is None else declared) + data


class Reply(NamedTuple):
    data: bytes
    hang_up: bool = False  # close right after the data instead of waiting for the client to close


def plain(*elements):
    return Reply(plain_frame(tpml_write(elements)))


def compressed(*elements):
    return Reply(compressed_frame(tpml_write(elements)))


class Request(NamedTuple):
    compressed: bool
    size: int  # of the document text in bytes
    text: str  # None when the compressed frame did not inflate to its declared length

    def document(self):
        return tpml_read(self.text)


def receive_exactly(sock, count):
    data = b""
    while len(data) < count:
        chunk = sock.recv(count - len(data))
        if not chunk:
            raise EOFError("the client closed before the frame was whole")
        data += chunk
    return data


def read_request(sock):
    word, = struct.unpack("<I", receive_exactly(sock, 4))
    data = receive_exactly(sock, word & ~COMPRESSED)
    if not word & COMPRESSED:
        return Request(False, len(data), data.decode(WIRE))
    declared, = struct.unpack_from("<I", data)
    body = zlib.decompress(data[4:])
    return Request(True, len(body), body.decode(WIRE) if len(body) == declared else None)


class LegacyServer(vexa_ctypes.ScriptedServer):
    """Plays the legacy service: one request per connection, answered with the next scripted reply,
    or closed without one when none is left."""

    def make_server(self, address):
        service = self

        class Handler(socketserver.BaseRequestHandler):
            def handle(self):
                self.request.settimeout(60)
                service.requests.append(read_request(self.request))
                reply = service.next_reply(Reply(b"", hang_up=True))
                try:
                    self.request.sendall(reply.data)
                    # The client closes first, so the reply is never cut off by a reset.
                    while not reply.hang_up and self.request.recv(4096):
                        pass
                except OSError:
                    pass

        tcp = socketserver.ThreadingTCPServer(address, Handler)
        tcp.daemon_threads = True
        return tcp


# ---------------------------------------------------------------------------------------------
# Reply documents.

SERVER_TIME = 1709615229  # 2024-03-05 05:07:09 UTC


def user_reply(login="succeed", call=None, **refer):
    """A USER reply: LOGIN with its result (none when `login` is None), STATUS with the credit when
    `call` is given, REFER with the given fields."""
    children = []
    if login is not None:
        children.append(el("LOGIN", el("USER_ID", "kim"), el("VERSION", "4.2.7"), el("SERVERTIME", str(SERVER_TIME)),
                           el("PAYTYPE", "prepaid"), result=login))
    if call is not None:
        children.append(el("STATUS", el("CALL", str(call)), el("POINT", "0"), el("FREE", "0")))
    if refer:
        children.append(el("REFER", *(el(name, value) for name, value in refer.items())))
    return el("USER", *children, type="reply")


# ---------------------------------------------------------------------------------------------

class SmsTestCase(HostTestCase):
    """Each test gets a new SMS object."""

    def setUp(self):
        super().setUp()
        self.sms = self.new_object(CLSID_SMS)

    def array_base(self, base):
        """Sets the module-wide ArrayBase for this test and restores 0 afterwards."""
        self.assertEqual(self.put(self.sms, "ArrayBase", base), S_OK)
        self.addCleanup(self.put, self.sms, "ArrayBase", 0)

    def items(self, collection, *members):
        """The given members of every item of a collection, whatever the ArrayBase."""
        return super().items(collection, *members, base=self.get(self.sms, "ArrayBase"))


class LegacyTestCase(SmsTestCase):
    """Against the scripted server."""
    USER = "kim"
    PASSWORD = "pass word  with spaces"

    @classmethod
    def setUpClass(cls):
        cls.server = LegacyServer()

    @classmethod
    def tearDownClass(cls):
        cls.server.close()
        super().tearDownClass()

    def setUp(self):
        super().setUp()
        self.server.take()

    def exchange(self, reply, member, *args):
        """Calls an SMS method late-bound against one scripted reply; its outcome and its request."""
        self.server.script(reply)
        outcome = self.invoke(self.sms, member, DISPATCH_METHOD, *args)
        requests = self.server.take()
        self.assertEqual(len(requests), 1, f"{member} makes one connection")
        return outcome, requests[0]

    def document(self, request):
        """The request's elements; the text is exactly what the markup's writer makes of them."""
        self.assertIsNotNone(request.text, "the frame inflates to its declared length")
        elements = request.document()
        self.assertEqual(tpml_write(elements), request.text)
        return elements

    def login(self, reply=None):
        """Logs in against the scripted server; the login info and the scrambled password sent."""
        reply = reply or plain(user_reply(call=500, user_name="홍길동", phone_return="02-123-4567"))
        outcome, request = self.exchange(reply, "Login", "127.0.0.1", self.server.port, self.USER, self.PASSWORD)
        self.assertEqual(outcome.hr, S_OK, f"0x{outcome.hr:08X}")
        return outcome.value, self.document(request)[0].child("LOGIN").child("PASSWORD").text

    def check_login(self, login, user_id, password, service_code=""):
        """A LOGIN element of a request: the user ID, the password scrambled, the client description."""
        self.assertEqual([child.name for child in login.children], ["USER_ID", "PASSWORD", "ETCINFO"])
        self.assertEqual(login.child("USER_ID").text, escape_field(user_id))
        scrambled = login.child("PASSWORD").text
        self.assertEqual(len(scrambled), len(password) + 3)
        self.assertRegex(scrambled, r"^[\x21-\x7e]+$", "printable, and no space")
        etc = login.child("ETCINFO")
        self.assertEqual((etc.text, etc.children), ("", []))
        described = [name for name in ("macaddress", "computername", "username") if name in etc.attrs]
        self.assertEqual(list(etc.attrs), described + ["servicecode", "modulename"])
        self.assertRegex(etc.attrs.get("macaddress", "00-00-00-00-00-00"), r"^([0-9a-f]{2}-){5}[0-9a-f]{2}$")
        self.assertEqual(etc.attrs["servicecode"], service_code)
        self.assertEqual(etc.attrs["modulename"], os.path.basename(os.readlink("/proc/self/exe")))
        return scrambled

    def check_packet(self, elements, method, status, scrambled, service_code=""):
        """A packet of a logged-in call: the login, the method's element, and a status query when asked."""
        names = ["USER", method.name] + (["USER"] if status else [])
        self.assertEqual([element.name for element in elements], names)
        user = elements[0]
        self.assertEqual((user.attrs, [child.name for child in user.children]), ({"type": "request"}, ["LOGIN"]))
        self.assertEqual(self.check_login(user.child("LOGIN"), self.USER, self.PASSWORD, service_code), scrambled,
                         "every packet carries the password scrambled at Login")
        self.assertEqual(elements[1], method)
        if status:
            self.assertEqual(elements[2], el("USER", el("STATUS"), type="request"))

    def receivers(self, *entries):
        """A Receivers collection made with AddDirect from (phone, message, mode, send time) entries."""
        receivers = self.call(self.sms, "CreateReceivers")
        for phone, message, mode, send_time in entries:
            self.call(receivers, "AddDirect", phone, message, mode, Typed(VT_DATE, send_time))
        return receivers

    def log_lists(self, *keys):
        log_lists = self.call(self.sms, "CreateLogLists")
        for year, month, index in keys:
            self.call(log_lists, "Add", self.call(self.sms, "CreateLogListDirect", year, month, index))
        return log_lists


class SmsContractTest(LegacyTestCase):
    def test_interfaces_and_member_names(self):
        for name, dispid in DISP_SMS.items():
            with self.subTest(name=name):
                self.assertEqual(self.dispid(self.sms, name), (S_OK, dispid))
        for name in MESSAGE_ONLY:
            with self.subTest(message_only=name):
                self.assertEqual(self.dispid(self.sms, name)[0], DISP_E_UNKNOWNNAME)
        for iid, expected in [(IID_ISMS, S_OK), (DIID_DispSMS, S_OK), (IID_IMessage, E_NOINTERFACE)]:
            with self.subTest(iid=iid.Data1):
                hr, ptr = self.sms.query(iid)
                self.assertEqual(hr, expected)
                if ptr:
                    self.adopt(ptr, IUNKNOWN)

    def test_properties_early_and_late_bound(self):
        early = self.query(self.sms, IID_ISMS, ISMS)
        number, text = c_int32(), c_void_p()
        self.assertEqual(early.call("get_VersionMajor", [PTR], byref(number)), S_OK)
        self.assertEqual(number.value, 4)
        self.assertEqual(early.call("get_VersionMinor", [PTR], byref(number)), S_OK)
        self.assertEqual(number.value, 2)
        for member, value in [("ServiceCode", "서비스-7"), ("OfficeName", "본사 영업팀"), ("ServiceCode", "")]:
            with self.subTest(member=member, value=value):
                self.assertEqual(early.call("put_" + member, [BSTR], self.bstr(value)), S_OK)
                self.assertEqual(early.call("get_" + member, [PTR], byref(text)), S_OK)
                self.assertEqual(self.module.take_bstr(text.value), value)
                self.assertEqual(self.get(self.sms, member), value)

        log_list = self.call(self.sms, "CreateLogListDirect", 2024, 3, "5")
        self.assertEqual([self.get(log_list, m) for m in ("Date", "Index", "Type")],
                         ["202403", "5", VEXA_MESSAGE_TYPE_SMS])
        self.assertEqual(self.invoke(self.sms, "CreateLogListDirect", DISPATCH_METHOD, 2024, 13, "5").hr,
                         E_INVALIDARG)

    def test_out_pointers_are_cleared_on_failure(self):
        early = self.query(self.sms, IID_ISMS, ISMS)
        garbage = 0x5A5A5A5A5A5A5A5A
        cases = [  # member, argument types and values before the out pointer, expected HRESULT
            ("get_LoginInfo", [], (), VEXA_E_NOTLOGINED),
            ("Login", [BSTR, c_int32, BSTR, BSTR], ("127.0.0.1", 70000, "kim", "pw"), VEXA_E_NOTCONNECTED),
            ("SendSMS", [BSTR, PTR], ("", None), E_INVALIDARG),
            ("RequestLog", [c_int32, c_int32, c_int32], (2024, 3, VEXA_BYALL), VEXA_E_NOTLOGINED),
            ("RequestLogDetail", [c_int32, c_int32, BSTR], (2024, 3, "1"), VEXA_E_NOTLOGINED),
            ("DeleteLog", [c_int32, c_int32, BSTR], (2024, 3, "1"), VEXA_E_NOTLOGINED),
            ("CancelReservation", [c_int32, c_int32, BSTR], (2024, 0, "1"), E_INVALIDARG),
        ]
        for member, types, args, expected in cases:
            with self.subTest(member=member):
                out = c_void_p(garbage)
                args = [self.bstr(a) if t is BSTR else a for t, a in zip(types, args)]
                self.assertEqual(early.call(member, types + [PTR], *args, byref(out)), expected)
                self.assertIsNone(out.value)
        self.assertEqual(self.server.take(), [], "no call got as far as the server")


class LoginTest(LegacyTestCase):
    def test_login_packet_and_login_info(self):
        user_id, service_code = "o'neil\\kim", "svc-7"
        self.assertEqual(self.put(self.sms, "ServiceCode", service_code), S_OK)
        reply = compressed(user_reply(call=321, phone_return="02-123-4567", user_name="홍길동"))
        self.server.script(reply)
        early = self.query(self.sms, IID_ISMS, ISMS)
        out = c_void_p()
        hr = early.call("Login", [BSTR, c_int32, BSTR, BSTR, PTR], self.bstr("127.0.0.1"), self.server.port,
                        self.bstr(user_id), self.bstr(self.PASSWORD), byref(out))
        self.assertEqual(hr, S_OK, f"0x{hr:08X}")
        info = self.adopt(out.value)
        request, = self.server.take()
        self.assertFalse(request.compressed, "a short request goes out plain")

        packet = self.document(request)
        self.assertEqual(packet, [el("USER", Element("LOGIN", children=ANY), el("STATUS"),
                                     el("REFER", el("phone_return"), el("user_name")), type="request")])
        scrambled = self.check_login(packet[0].child("LOGIN"), user_id, self.PASSWORD, service_code)

        members = {"ServerIP": "127.0.0.1", "ServerPort": self.server.port, "UserID": user_id,
                   "UserPassword": self.PASSWORD, "UserName": "홍길동", "UserPhoneNumber": "02-123-4567",
                   "Logined": VEXA_SUCCEEDED, "ServerVersion": "4.2.7", "FreeCall": 321}
        self.assertEqual({name: self.get(info, name) for name in members}, members)
        self.assertAlmostEqual(self.get(info, "ServerTime"), local_date(SERVER_TIME), delta=0.5 / 86400)
        early_info, text = self.query(info, IID_ILoginInfo, ILOGININFO), c_void_p()
        self.assertEqual(early_info.call("get_UserPassword", [PTR], byref(text)), S_OK)
        self.assertEqual(self.module.take_bstr(text.value), self.PASSWORD)
        held = self.get(self.sms, "LoginInfo")
        self.assertEqual(self.query(held, IID_IUnknown, IUNKNOWN).ptr, self.query(info, IID_IUnknown, IUNKNOWN).ptr)

        # The scrambling draws afresh for every login; the password read back stays the same.
        outcome, request = self.exchange(reply, "Login", "127.0.0.1", self.server.port, user_id, self.PASSWORD)
        self.assertEqual(outcome.hr, S_OK)
        self.assertNotEqual(self.document(request)[0].child("LOGIN").child("PASSWORD").text, scrambled)
        self.assertEqual(self.get(outcome.value, "UserPassword"), self.PASSWORD)

    def test_refused_and_failed_logins(self):
        body = tpml_write([user_reply()])
        data = zlib.compress(body.encode(WIRE))
        refused, failed, broken = VEXA_E_LOGINFAIL, VEXA_E_SERVERERROR, VEXA_E_NOTCONNECTED
        cases = [  # what the server answers, the outcome
            ("login refused", plain(user_reply(login="failed", call=5)), refused),
            ("no LOGIN in the reply", plain(user_reply(login=None, call=5)), refused),
            ("ERROR inside USER", plain(el("USER", el("ERROR", "store failed", code="500"))), failed),
            ("no reply at all", Reply(b"", hang_up=True), broken),
            ("half a length word", Reply(b"\x10\x00", hang_up=True), broken),
            ("body shorter than announced", Reply(plain_frame(body)[:-5], hang_up=True), broken),
            ("compressed, length 0 declared", Reply(compressed_frame(body, declared=0)), broken),
            ("compressed, one byte less declared", Reply(compressed_frame(body, len(body) - 1)), broken),
            ("compressed, one byte more declared", Reply(compressed_frame(body, len(body) + 1)), broken),
            ("compressed, no room for the declared length", Reply(struct.pack("<I", 2 | COMPRESSED) + b"\0\0"),
             broken),
            ("compressed, zlib stream cut short",
             Reply(struct.pack("<II", len(data) | COMPRESSED, len(body)) + data[:-4]), broken),
            ("compressed, data that is no zlib stream",
             Reply(struct.pack("<II", (len(body) + 4) | COMPRESSED, len(body)) + body.encode(WIRE)), broken),
            ("text that does not parse", Reply(plain_frame("<USER>\n\t<LOGIN>a/b</LOGIN>\n</USER>\n")), broken),
            ("top-level text", Reply(plain_frame("succeed")), broken),
        ]
        info, _ = self.login()
        for name, reply, expected in cases:
            with self.subTest(name):
                outcome, _ = self.exchange(reply, "Login", "127.0.0.1", self.server.port, self.USER, self.PASSWORD)
                self.assertEqual((outcome.hr, outcome.value), (expected, None), f"0x{outcome.hr:08X}")
                self.assertEqual(self.invoke(self.sms, "LoginInfo", DISPATCH_PROPERTYGET).hr, VEXA_E_NOTLOGINED,
                                 "a failed Login leaves the object logged out")
        self.assertEqual(self.get(info, "UserName"), "홍길동", "a login info handed out before stays the holder's")

    def test_update_login_info(self):
        info, scrambled = self.login()
        reply = plain(user_reply(login=None, call=55, user_name="새 이름", phone_return="031-000-1111"))
        outcome, request = self.exchange(reply, "UpdateLoginInfo")
        self.assertEqual(outcome.hr, S_OK, "a reply without LOGIN counts as success")
        packet = self.document(request)
        self.assertEqual([child.name for child in packet[0].children], ["LOGIN", "STATUS", "REFER"])
        self.assertEqual(self.check_login(packet[0].child("LOGIN"), self.USER, self.PASSWORD), scrambled,
                         "the stored scrambled password, not a new one")
        self.assertEqual([self.get(info, m) for m in ("FreeCall", "UserName", "UserPhoneNumber", "Logined")],
                         [55, "새 이름", "031-000-1111", VEXA_SUCCEEDED])

        outcome, _ = self.exchange(plain(user_reply(login="failed")), "UpdateLoginInfo")
        self.assertEqual(outcome.hr, VEXA_E_LOGINFAIL)
        self.assertEqual(self.get(info, "Logined"), VEXA_FAILED)
        self.assertEqual(self.get(self.get(self.sms, "LoginInfo"), "FreeCall"), 55, "the login info is kept")
        for reply, expected in [(Reply(b"", hang_up=True), VEXA_E_NOTCONNECTED),
                                (plain(el("USER", el("ERROR", "busy", code="500"))), VEXA_E_SERVERERROR)]:
            with self.subTest(expected=expected):
                self.assertEqual(self.exchange(reply, "UpdateLoginInfo")[0].hr, expected)


class SendTest(LegacyTestCase):
    def test_send_packet_and_results(self):
        office, sender = "본사 'A' 팀", "02-555-1234"
        for member, value in [("OfficeName", office), ("ServiceCode", "svc")]:
            self.assertEqual(self.put(self.sms, member, value), S_OK)
        info, scrambled = self.login()
        texts = ["안녕하세요, 반갑습니다", "it's a \\ line\r\nbreak & <tag> a=b/c\tx y"]
        receivers = self.receivers(("010-1111-2222", texts[0], VEXA_DIRECT, ole_date(2030, 1, 1)),
                                   ("010-3333-4444", texts[1], VEXA_RESERVATION, ole_date(2024, 3, 5, 14, 7, 30)))
        named = self.call(self.sms, "CreateReceiverDirect", "010-5555-6666", "", VEXA_DIRECT, Typed(VT_DATE, 0.0))
        self.assertEqual(self.put(named, "Name", "수신자 이름"), S_OK)
        self.call(receivers, "Add", named)

        results = [el("RESULT", "succeed", phone="010-1111-2222", date="202403", index="101"),
                   el("RESULT", "failed", phone="010-3333-4444"), el("OTHER", "skipped"),
                   el("RESULT", "Succeed", phone="010-5555-6666", date="202403", index="101")]
        reply = plain(user_reply(), el("SENDSMS", *results), el("USER", el("STATUS", el("CALL", "98"))))
        outcome, request = self.exchange(reply, "SendSMS", sender, receivers)
        self.assertEqual(outcome.hr, S_OK, f"0x{outcome.hr:08X}")

        def receiver(phone, text, mode, send_time):
            return el("RECEIVER", el("MESSAGE", escape_field(text)), el("SENDTIME", send_time, mode=mode),
                      name=escape_field(office), phone=phone)

        sendsms = el("SENDSMS", el("SENDER", sender), el("COUNT", "3"),
                     receiver("010-1111-2222", texts[0], "direct", "systemtime"),
                     receiver("010-3333-4444", texts[1], "reservation", "2024-03-05 14:07:30"),
                     receiver("010-5555-6666", "", "direct", "systemtime"), type="request")
        self.check_packet(self.document(request), sendsms, True, scrambled, "svc")
        self.assertIn("it\\'s a \\\\ line&br;break &amp; &lt;tag&gt; a&equ;b&slsh;c&tab;x y", request.text)

        self.assertEqual(self.items(outcome.value, "Phone", "Result", "Date", "Index", "Type"), [
            ("010-1111-2222", VEXA_SUCCEEDED, "202403", "101", VEXA_MESSAGE_TYPE_SMS),
            ("010-3333-4444", VEXA_FAILED, "", "", VEXA_MESSAGE_TYPE_SMS),
            ("010-5555-6666", VEXA_FAILED, "202403", "101", VEXA_MESSAGE_TYPE_SMS)])
        self.assertEqual(self.get(info, "FreeCall"), 98, "the trailing status updates the credit")

    def test_request_frames_plain_up_to_1024_bytes(self):
        """A long message goes out whole, in a compressed frame once the document passes 1024 bytes."""
        self.login()
        early = self.query(self.sms, IID_ISMS, ISMS)

        def send_one(text):
            receiver = self.call(self.sms, "CreateReceiverDirect", "0101", text, VEXA_DIRECT, Typed(VT_DATE, 0.0))
            self.server.script(plain(user_reply()))
            out = c_void_p(0x5A5A)
            hr = early.call("SendSMSOne", [BSTR, PTR, PTR], self.bstr(""), receiver.ptr, byref(out))
            self.assertEqual((hr, out.value), (S_OK, None), "a reply without SENDSMS gives no result")
            request, = self.server.take()
            return request

        base = send_one("x").size - 1  # the document's bytes besides the message
        for text, is_compressed in [("x" * (1024 - base), False), ("x" * (1025 - base), True),
                                    ("가나다라" * 500, True)]:
            with self.subTest(size=base + len(text.encode(WIRE))):
                request = send_one(text)
                self.assertEqual((request.compressed, request.size), (is_compressed, base + len(text.encode(WIRE))))
                message = self.document(request)[1].children[2].child("MESSAGE").text
                self.assertEqual(message, text, "sent whole, neither cut nor split")

    def test_send_replies_that_fail(self):
        info, _ = self.login()
        good = el("SENDSMS", el("RESULT", "succeed", phone="0101", date="202403", index="1"))
        cases = [  # reply elements, outcome
            ((user_reply(), el("SENDSMS", el("ERROR", "no credit", code="200"))), VEXA_E_NEEDFORCALL),
            ((user_reply(), el("SENDSMS", el("ERROR", "bad count", code="300"))), VEXA_E_SERVERERROR),
            ((el("ERROR", "store failed", code="500"), good), VEXA_E_SERVERERROR),
            ((user_reply(), el("USER", el("STATUS", el("CALL", "4")))), S_OK),
            ((user_reply(login="failed"), good), VEXA_E_LOGINFAIL),
        ]
        for elements, expected in cases:
            with self.subTest(elements=[e.name for e in elements], expected=hex(expected)):
                receivers = self.receivers(("0101", "본문", VEXA_DIRECT, 0.0))
                outcome, _ = self.exchange(plain(*elements), "SendSMS", "", receivers)
                self.assertEqual((outcome.hr, outcome.value), (expected, None), f"0x{outcome.hr:08X}")
        self.assertEqual(self.get(info, "FreeCall"), 4)
        self.assertEqual(self.get(info, "Logined"), VEXA_FAILED, "a refused login in a packet shows")
        outcome, _ = self.exchange(plain(good), "SendSMS", "", self.receivers(("0101", "", VEXA_DIRECT, 0.0)))
        self.assertEqual(outcome.hr, S_OK, "the login info is kept, so calls still reach the server")

    def test_checks_before_any_exchange(self):
        nothing = Typed(VT_DISPATCH, None)
        receivers = self.receivers(("0101", "본문", VEXA_DIRECT, 0.0))
        cases = [  # logged in, member, arguments, outcome
            (False, "UpdateLoginInfo", (), VEXA_E_NOTLOGINED),
            (False, "SendSMS", ("", receivers), VEXA_E_NOTLOGINED),
            (False, "SendSMS", ("", nothing), E_INVALIDARG),
            (False, "SendSMSOne", ("", nothing), E_INVALIDARG),
            (False, "RequestLogDetail", (2024, 13, "1"), E_INVALIDARG),
            (False, "DeleteLogByLists", (nothing,), VEXA_E_NOTLOGINED),
            (False, "CancelReservationByLists", (nothing,), E_INVALIDARG),
            (True, "SendSMS", ("", self.receivers()), VEXA_E_RECEIVERNOTFOUND),
            (True, "SendSMS", ("", self.log_lists((2024, 3, "1"))), E_INVALIDARG),
            (True, "RequestLogDetailByLists", (receivers,), E_INVALIDARG),
            (True, "DeleteLogByLists", (self.log_lists(),), VEXA_E_LOGLISTNOTFOUND),
            (True, "DeleteLogByLists", (nothing,), E_INVALIDARG),
            (True, "CancelReservationByLists", (self.log_lists(),), VEXA_E_LOGLISTNOTFOUND),
        ]
        for logged_in, member, args, expected in cases:
            if logged_in and self.invoke(self.sms, "LoginInfo", DISPATCH_PROPERTYGET).hr != S_OK:
                self.login()
            with self.subTest(member=member, args=args):
                outcome = self.invoke(self.sms, member, DISPATCH_METHOD, *args)
                self.assertEqual((outcome.hr, self.server.take()), (expected, []), f"0x{outcome.hr:08X}")


class LogTest(LegacyTestCase):
    def test_log_request_keys(self):
        _, scrambled = self.login()
        reply = plain(el("LOGLIST", el("REFER", el("LOG", date="202403", index="all")),
                         el("REFERRES", el("LOG", date="202403", index="reserved"))))
        for member, args, kind, key in [
                ("RequestLog", (2009, 3, VEXA_BYALL), "REFER", "200903"),
                ("RequestLog", (2009, 3, VEXA_BYRESERVATION), "REFERRES", "200903"),
                ("RequestLogBound", (2024, 2, 1, 29, VEXA_BYALL), "REFER", "2024020129"),
                ("RequestLogBound", (2024, 4, 0, 15, VEXA_BYRESERVATION), "REFERRES", "2024040015"),
                ("RequestLogBound", (2024, 4, 31, 0, VEXA_BYALL), "REFER", "2024043100"),
                ("RequestLogBound", (2000, 2, 29, 29, VEXA_BYALL), "REFER", "2000022929")]:
            with self.subTest(member=member, args=args):
                outcome, request = self.exchange(reply, member, *args)
                self.assertEqual(outcome.hr, S_OK, f"0x{outcome.hr:08X}")
                self.check_packet(self.document(request), el("LOGLIST", el(kind, el("DATE", key)), type="request"),
                                  False, scrambled)
                self.assertEqual(self.items(outcome.value, "Index"),
                                 [("all",) if kind == "REFER" else ("reserved",)])

        for args in [(2024, 4, 1, 31), (2023, 2, 29, 29), (4000, 2, 29, 29), (1900, 2, 1, 29), (0, 3, 0, 0),
                     (10000, 1, 0, 0), (2024, 0, 0, 0), (2024, 13, 0, 0), (2024, 3, 32, 0), (2024, 3, 0, -1)]:
            with self.subTest(refused=args):
                outcome = self.invoke(self.sms, "RequestLogBound", DISPATCH_METHOD, *args, VEXA_BYALL)
                self.assertEqual((outcome.hr, self.server.take()), (E_INVALIDARG, []))
        outcome = self.invoke(self.sms, "RequestLog", DISPATCH_METHOD, 2024, 3, 2)
        self.assertEqual((outcome.hr, self.server.take()), (E_INVALIDARG, []), "LogBy 2")

    def test_log_lists_from_reply(self):
        self.login()
        sent = SERVER_TIME
        first = el("LOG", date="202403", index="11", phoneSend="010-1111-2222", phoneBack="02-555-1234",
                   countTotal="3", countSucceed="2", countFailure="1", message="장문 & <메시지>",
                   timeWrite=str(sent - 60), timeSend=str(sent), **{"class": "direct"})
        second = el("LOG", date="202403", index="12", **{"class": "reservation"})
        refer = el("REFER", first, el("LOGS", index="skipped"), second)
        outcome, _ = self.exchange(plain(user_reply(), el("LOGLIST", refer)), "RequestLog", 2024, 3, VEXA_BYALL)
        members = ("Date", "Index", "Message", "SendMode", "ReceiverPhone", "ReturnPhone", "CountTotal",
                   "CountSucceed", "CountFailure", "SendTime", "WriteTime", "Type")
        self.assertEqual(self.items(outcome.value, *members), [
            ("202403", "11", "장문 & <메시지>", VEXA_DIRECT, "010-1111-2222", "02-555-1234", 3, 2, 1,
             local_date(sent), local_date(sent - 60), VEXA_MESSAGE_TYPE_SMS),
            ("202403", "12", "", VEXA_RESERVATION, "", "", 0, 0, 0, local_date(0), local_date(0),
             VEXA_MESSAGE_TYPE_SMS)])

        for elements, expected in [((el("LOGLIST", el("ERROR", "bad key", code="300")),), VEXA_E_SERVERERROR),
                                   ((user_reply(),), S_OK)]:
            with self.subTest(expected=expected):
                outcome, _ = self.exchange(plain(*elements), "RequestLog", 2024, 3, VEXA_BYALL)
                self.assertEqual((outcome.hr, outcome.value), (expected, None))

    def test_log_detail(self):
        _, scrambled = self.login()
        records = [  # phoneSend, message, status, result, tranDate → Status, Result, TransDate
            ("0101", "첫째", "3", "2", "2024-03-05 14:07:09",
             VEXA_TRANS_RECEIVED, VEXA_TRANS_NOTEXISTNUMBER, ole_date(2024, 3, 5, 14, 7, 9)),
            ("0102", "둘째", "2", "0", "2024-03-05 14:07:0", VEXA_TRANS_WAITING, VEXA_TRANS_SUCCEEDED, 0.0),
            ("0103", "", "1", "1", "", VEXA_TRANS_REQUESTED, VEXA_TRANS_FAILED, 0.0)]
        logs = [el("LOG", index=str(i), phoneSend=phone, message=text, status=status, result=result, tranDate=date,
                   tranRsltDate="2024-03-05 14:08:00")
                for i, (phone, text, status, result, date, *_) in enumerate(records, 1)]
        group = el("REFER", *logs, el("OTHER"), date="202403", index="17", phoneBack="02-555-1234",
                   tranDate="2024-03-05 14:07:00", message="공통")
        outcome, request = self.exchange(plain(user_reply(), el("LOGDETAIL", group)), "RequestLogDetail", 2024, 3,
                                         "17")
        self.assertEqual(outcome.hr, S_OK, f"0x{outcome.hr:08X}")
        self.check_packet(self.document(request),
                          el("LOGDETAIL", el("REFER", date="202403", index="17"), type="request"), False, scrambled)

        details = outcome.value
        self.assertEqual([self.get(details, m) for m in ("Date", "Index", "ReturnPhone", "Type")],
                         ["202403", "17", "02-555-1234", VEXA_MESSAGE_TYPE_SMS])
        got = self.items(details, "ReceiverPhone", "Message", "Status", "Result", "TransDate")
        self.assertEqual(len(got), len(records))
        for row, (phone, text, *_, status, result, trans_date) in zip(got, records):
            with self.subTest(phone=phone):
                self.assertEqual(row[:4], (phone, text, status, result))
                self.assertAlmostEqual(row[4], trans_date, delta=0.5 / 86400)

        groups = [el("REFER", date="202403", index="17"),
                  el("REFER", el("LOG", phoneSend="0109"), date="202404", index="2")]
        outcome, request = self.exchange(plain(el("LOGDETAIL", *groups)), "RequestLogDetailByLists",
                                         self.log_lists((2024, 3, "17"), (2024, 4, "2")))
        self.assertEqual(self.document(request)[1], el("LOGDETAIL", el("REFER", date="202403", index="17"),
                                                       el("REFER", date="202404", index="2"), type="request"))
        self.assertEqual(self.items(outcome.value, "Date", "Index", "Count"),
                         [("202403", "17", 0), ("202404", "2", 1)])

    def test_delete_and_cancel(self):
        info, scrambled = self.login()
        self.array_base(1)  # the single-entry forms hand out the item at ArrayBase
        status = el("USER", el("STATUS", el("CALL", "7")))
        drop = el("DROP", el("LOG", date="202403", index="11", result="succeed"))
        outcome, request = self.exchange(plain(user_reply(), el("LOGLIST", drop), status), "DeleteLog", 2024, 3,
                                         "11")
        self.assertEqual(outcome.hr, S_OK, f"0x{outcome.hr:08X}")
        self.check_packet(self.document(request),
                          el("LOGLIST", el("DROP", el("LOG", date="202403", index="11")), type="request"), True,
                          scrambled)
        self.assertEqual([self.get(outcome.value, m) for m in ("Date", "Index", "Result")],
                         ["202403", "11", VEXA_SUCCEEDED])
        self.assertEqual(self.get(info, "FreeCall"), 7)

        outcome, _ = self.exchange(plain(el("LOGLIST", el("DROP"))), "DeleteLog", 2024, 3, "11")
        self.assertEqual((outcome.hr, outcome.value), (S_OK, None), "nothing reported: no result object")

        drop = el("DROP", el("LOG", date="202403", index="11", result="succeed"),
                  el("LOG", date="202404", index="12", result="failed"))
        outcome, _ = self.exchange(plain(el("LOGLIST", drop)), "DeleteLogByLists",
                                   self.log_lists((2024, 3, "11"), (2024, 4, "12")))
        self.assertEqual(self.items(outcome.value, "Index", "Result"), [("11", VEXA_SUCCEEDED), ("12", VEXA_FAILED)])

        cancel = el("CANCEL", *(el("LOG", date="202403", index=str(i), result="succeed", countTotal=total,
                                   countCanceled=canceled, countRemain=remain)
                                for i, (total, canceled, remain) in enumerate([(3, 3, 0), (0, 0, 0), (3, 1, 2)])))
        keys = [(2024, 3, str(i)) for i in range(3)]
        outcome, request = self.exchange(plain(el("LOGLIST", cancel), status), "CancelReservationByLists",
                                         self.log_lists(*keys))
        self.assertEqual(outcome.hr, S_OK, f"0x{outcome.hr:08X}")
        self.check_packet(self.document(request), el("LOGLIST", el("CANCEL", *(
            el("LOG", date="202403", index=index) for *_, index in keys)), type="request"), True, scrambled)
        self.assertEqual(self.items(outcome.value, "Index", "CountTotal", "CountSucceed", "CountFailure", "Result"), [
            ("0", 3, 3, 0, VEXA_SUCCEEDED), ("1", 0, 0, 0, VEXA_FAILED), ("2", 3, 1, 2, VEXA_FAILED)])

        outcome, _ = self.exchange(plain(el("LOGLIST", el("CANCEL", cancel.children[0]))), "CancelReservation", 2024,
                                   3, "0")
        self.assertEqual([self.get(outcome.value, m) for m in ("Date", "Index", "Result")],
                         ["202403", "0", VEXA_SUCCEEDED])
        outcome, _ = self.exchange(plain(el("LOGLIST", el("ERROR", "store failed", code="500"))),
                                   "CancelReservation", 2024, 3, "0")
        self.assertEqual((outcome.hr, outcome.value), (VEXA_E_SERVERERROR, None))


# ---------------------------------------------------------------------------------------------

class SandboxLegacyTest(SmsTestCase):
    USER, PASSWORD, CREDIT = "legacy_user", "legacy pass word", 50
    SENDER, TEXT = "02-555-1234", "레거시로 보낸 문자입니다 (it's #1)"

    @classmethod
    def setUpClass(cls):
        if SANDBOX is None:
            raise unittest.SkipTest("no --sandbox given")
        # Substituted replies: the scripted server above covers the plain and compressed forms.
        found = vexa_ctypes.start_sandbox(cls, SANDBOX, [
            "--account", f"{cls.USER}:{cls.PASSWORD}:{cls.CREDIT}", "--delivery-delay", "0", "--legacy-port", "0",
            "--legacy-substitute"])
        cls.http = found["http"]
        cls.host, port = found["legacy"].rsplit(":", 1)
        cls.port = int(port)

    def login(self, password=None):
        return self.invoke(self.sms, "Login", DISPATCH_METHOD, self.host, self.port, self.USER,
                           password or self.PASSWORD)

    def rest_message(self):
        """A Message object on the sandbox's REST endpoint with the same account."""
        message = self.new_object(CLSID_Message)
        endpoint = self.query(message, IID_IServiceEndpoint, ISERVICEENDPOINT)
        self.assertEqual(endpoint.call("SetEndpoint", [BSTR], self.bstr(self.http)), S_OK)
        self.call(message, "SetAccountInfo", self.USER, self.PASSWORD)
        return message

    def test_refused_login(self):
        outcome = self.login(password="not the password")
        self.assertEqual((outcome.hr, outcome.value), (VEXA_E_LOGINFAIL, None))
        self.assertEqual(self.invoke(self.sms, "LoginInfo", DISPATCH_PROPERTYGET).hr, VEXA_E_NOTLOGINED)

    def test_texts_over_the_legacy_protocol(self):
        outcome = self.login()
        self.assertEqual(outcome.hr, S_OK, f"0x{outcome.hr:08X}")
        info = outcome.value
        self.assertEqual([self.get(info, m) for m in ("UserName", "UserPhoneNumber", "Logined", "UserPassword")],
                         [self.USER, "02-000-0000", VEXA_SUCCEEDED, self.PASSWORD])
        credit = self.get(info, "FreeCall")
        self.assertEqual(self.put(self.sms, "OfficeName", "본사"), S_OK)

        # At once, to a number and to one that does not exist; then a reservation for tomorrow.
        direct = self.call(self.sms, "CreateReceivers")
        for phone in ("010-1234-5678", "010-9999-0000"):
            self.call(direct, "AddDirect", phone, self.TEXT, VEXA_DIRECT, Typed(VT_DATE, 0.0))
        results = self.items(self.call(self.sms, "SendSMS", self.SENDER, direct), "Result", "Date", "Index")
        self.assertEqual([result for result, *_ in results], [VEXA_SUCCEEDED] * 2)
        self.assertEqual(len(set(results)), 1, "one transfer")
        _, date, sent = results[0]
        self.assertEqual(self.get(info, "FreeCall"), credit - 2)

        tomorrow = datetime.date.today() + datetime.timedelta(days=1)
        send_time = ole_date(tomorrow.year, tomorrow.month, tomorrow.day, 10, 0, 0)
        reservation = self.call(self.sms, "CreateReceiverDirect", "010-2222-3333", "내일 " + self.TEXT,
                                VEXA_RESERVATION, Typed(VT_DATE, send_time))
        result = self.call(self.sms, "SendSMSOne", self.SENDER, reservation)
        self.assertEqual([self.get(result, m) for m in ("Result", "Date")], [VEXA_SUCCEEDED, date])
        reserved = self.get(result, "Index")
        self.assertEqual(self.get(info, "FreeCall"), credit - 3)

        year, month = int(date[:4]), int(date[4:])
        members = ("Index", "SendMode", "ReceiverPhone", "ReturnPhone", "CountTotal", "Message")
        self.assertEqual(self.items(self.call(self.sms, "RequestLog", year, month, VEXA_BYALL), *members), [
            (sent, VEXA_DIRECT, "010-1234-5678", self.SENDER, 2, self.TEXT),
            (reserved, VEXA_RESERVATION, "010-2222-3333", self.SENDER, 1, "내일 " + self.TEXT)])
        listed = self.call(self.sms, "RequestLog", year, month, VEXA_BYRESERVATION)
        self.assertEqual(self.items(listed, "Index"), [(reserved,)])
        self.assertAlmostEqual(self.get(self.get(listed, "Item", 0), "SendTime"), send_time, delta=0.5 / 86400)

        details = self.call(self.sms, "RequestLogDetail", year, month, sent)
        self.assertEqual([self.get(details, m) for m in ("Date", "Index", "ReturnPhone")], [date, sent, self.SENDER])
        self.assertEqual(self.items(details, "ReceiverPhone", "Message", "Status", "Result"), [
            ("010-1234-5678", self.TEXT, VEXA_TRANS_RECEIVED, VEXA_TRANS_SUCCEEDED),
            ("010-9999-0000", self.TEXT, VEXA_TRANS_RECEIVED, VEXA_TRANS_NOTEXISTNUMBER)])
        self.assertGreater(self.get(self.get(details, "Item", 0), "TransDate"), 0.0)

        # The same transfers over REST, the text read back as it was sent.
        message = self.rest_message()
        rest_logs = self.call(message, "RequestLog", year, month, VEXA_BYALL, VEXA_MESSAGE_TYPE_SMS)
        self.assertEqual(self.items(rest_logs, "Index", "Message"),
                         [(sent, self.TEXT), (reserved, "내일 " + self.TEXT)])

        cancel = self.call(self.sms, "CancelReservation", year, month, reserved)
        self.assertEqual([self.get(cancel, m) for m in ("Index", "CountTotal", "CountSucceed", "Result")],
                         [reserved, 1, 1, VEXA_SUCCEEDED])
        self.assertEqual(self.get(info, "FreeCall"), credit - 2, "a cancelled reservation costs nothing")
        again = self.call(self.sms, "CancelReservation", year, month, reserved)
        self.assertEqual(self.get(again, "Result"), VEXA_FAILED)

        deleted = self.call(self.sms, "DeleteLog", year, month, sent)
        self.assertEqual(self.get(deleted, "Result"), VEXA_SUCCEEDED)
        self.assertEqual(self.items(self.call(self.sms, "RequestLog", year, month, VEXA_BYALL), "Index"),
                         [(reserved,)])
        rest_logs = self.call(message, "RequestLog", year, month, VEXA_BYALL, VEXA_MESSAGE_TYPE_SMS)
        self.assertEqual(self.items(rest_logs, "Index"), [(reserved,)])


if __name__ == "__main__":
    SANDBOX = vexa_ctypes.take_option("--sandbox")
    vexa_ctypes.main()
