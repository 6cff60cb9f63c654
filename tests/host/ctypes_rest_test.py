"""A host in another language drives Message's service operations against a scripted HTTP server:
the module is loaded with ctypes, pointed at the server through IServiceEndpoint, and called through
IDispatch (names resolved with GetIDsOfNames) and vtables. The server records every request and
answers from a queue of replies that each test scripts.

Run: python3 ctypes_rest_test.py /path/to/VexaComponent32.so [unittest options]
"""

import base64
import calendar
import http.server
import os
import xml.etree.ElementTree as ET
from ctypes import byref
from typing import NamedTuple
from unittest import mock
from xml.sax.saxutils import escape

import vexa_ctypes
from vexa_ctypes import (BSTR, CLSID_Message, DISPATCH_METHOD, DISPATCH_PROPERTYGET, E_INVALIDARG, IID_ILoginInfo3,
                         IID_IMessage, IID_IServiceEndpoint, IID_IUnknown, ILOGININFO3, IMESSAGE, ISERVICEENDPOINT,
                         IUNKNOWN, PTR, S_OK, VARIANT, VEXA_BYALL, VEXA_BYRESERVATION, VEXA_DIRECT,
                         VEXA_E_DEPRECATED, VEXA_E_LOGINFAIL, VEXA_E_NEEDFORCALL, VEXA_E_NOTCONNECTED,
                         VEXA_E_NOTLOGINED, VEXA_E_SERVERERROR, VEXA_FAILED, VEXA_MESSAGE_TYPE_ALL,
                         VEXA_MESSAGE_TYPE_LMS, VEXA_MESSAGE_TYPE_MMS, VEXA_MESSAGE_TYPE_SMS, VEXA_RESERVATION,
                         VEXA_SUCCEEDED, VT_ARRAY, VT_BSTR, VT_DATE, VT_DISPATCH, BstrArray, HostTestCase, Typed,
                         local_date, ole_date)

XML = "application/xml; charset=UTF-8"


# ---------------------------------------------------------------------------------------------
# The scripted service.

class Reply(NamedTuple):
    status: int
    content_type: str = XML
    body: bytes = b""
    headers: dict = {}  # added to (or replacing) Date, Content-Type and Content-Length


class Request(NamedTuple):
    method: str
    path: str
    headers: list  # (name, value) pairs in the order received
    body: bytes


class ScriptedServer(vexa_ctypes.ScriptedServer):
    """HTTP/1.1: answers each request with the next scripted reply, or with 599 when none is left."""

    def make_server(self, address):
        service = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def serve(self):
                body = self.rfile.read(int(self.headers.get("Content-Length", 0)))
                service.requests.append(Request(self.command, self.path, list(self.headers.items()), body))
                reply = service.next_reply(Reply(599, "text/plain", b"none"))
                headers = {"Date": self.date_time_string(), "Content-Type": reply.content_type,
                           "Content-Length": str(len(reply.body)), **reply.headers}
                self.send_response_only(reply.status)
                for name, value in headers.items():
                    self.send_header(name, value)
                self.end_headers()
                self.wfile.write(reply.body)

            do_GET = do_POST = do_PUT = do_DELETE = serve

            def log_message(self, *args):
                pass

        return http.server.ThreadingHTTPServer(address, Handler)


# ---------------------------------------------------------------------------------------------
# Reply documents and expected values.

def leaf(name, value):
    return f"<{name}>{escape(str(value))}</{name}>"


def node(tag, /, *children, **leaves):
    """An element holding the given child elements, then one text element per keyword."""
    return f"<{tag}>" + "".join(children) + "".join(leaf(k, v) for k, v in leaves.items()) + f"</{tag}>"


def xml_reply(root, /, *children, headers=None, **leaves):
    body = '<?xml version="1.0" encoding="UTF-8"?>\n' + node(root, *children, **leaves)
    return Reply(200, XML, body.encode("utf-8"), headers or {})


def users_reply(call, headers=None):
    # The status under info is what counts; the one directly under the root is a decoy.
    status = node("status", node("phoneReturns", leaf("phoneReturn", "0212345678"), leaf("other", "x"),
                                 leaf("phoneReturn", "0311112222")),
                  userid="someone-else", username="홍길동", phoneReturn="0212345678", call=call, free=77)
    decoy = node("status", userid="root", username="root status", call=1)
    return xml_reply("users", decoy, node("info", status), headers=headers)


def transfers_reply(*logs, **leaves):
    return xml_reply("transfers", node("logs", *(node("log", **log) for log in logs)), **leaves)


def children(element):
    return [(child.tag, child.text or "") for child in element]


# ---------------------------------------------------------------------------------------------

class RestHostTest(HostTestCase):
    USER = "vexa_user"
    # Long enough that "id:pw" encodes to more than 64 Base64 characters: still one header line.
    PASSWORD = "a password of the account, long enough to wrap"
    CLIENT_HEADERS = ["Content-Type", "Authorization", "Auth-Realm", "User-Os", "Client-Name",
                      "Client-Version"]

    @classmethod
    def setUpClass(cls):
        cls.server = ScriptedServer()
        # Requests follow the proxy variables of the environment; the scripted server is reached directly.
        cls.no_proxy = mock.patch.dict(os.environ, {"no_proxy": "127.0.0.1", "NO_PROXY": "127.0.0.1"})
        cls.no_proxy.start()

    @classmethod
    def tearDownClass(cls):
        cls.no_proxy.stop()
        cls.server.close()
        super().tearDownClass()

    def setUp(self):
        super().setUp()
        self.server.take()
        self.message = self.new_object(CLSID_Message)
        endpoint = self.query(self.message, IID_IServiceEndpoint, ISERVICEENDPOINT)
        url = self.bstr(f"http://127.0.0.1:{self.server.port}")
        self.assertEqual(endpoint.call("SetEndpoint", [BSTR], url), S_OK)
        early = self.query(self.message, IID_IMessage, IMESSAGE)
        account = self.bstr(self.USER), self.bstr(self.PASSWORD)
        self.assertEqual(early.call("SetAccountInfo", [BSTR, BSTR], *account), S_OK)
        self.assertEqual(self.server.take(), [], "setting the account sends nothing")

    def exchange(self, reply, member, *args):
        """Calls a Message method late-bound against one scripted reply; gives its outcome and the one
        request it sent, whose client headers are checked on the way."""
        self.server.script(reply)
        outcome = self.invoke(self.message, member, DISPATCH_METHOD, *args)
        requests = self.server.take()
        self.assertEqual(len(requests), 1, f"{member} sends one request")
        self.check_client_headers(requests[0])
        return outcome, requests[0]

    def check_client_headers(self, request):
        ours = [(name, value) for name, value in request.headers if name in self.CLIENT_HEADERS]
        self.assertEqual([name for name, _ in ours], self.CLIENT_HEADERS, "once each, in this order")
        values = dict(ours)
        credentials = base64.b64encode(f"{self.USER}:{self.PASSWORD}".encode()).decode()
        fixed = ("Content-Type", "Authorization", "Client-Name", "Client-Version")
        self.assertEqual([values[name] for name in fixed],
                         [XML, "Basic " + credentials, "Vexa Component", "4.2.1.0"])
        self.assertRegex(values["Auth-Realm"], r"^[A-Za-z0-9-]+(\.[A-Za-z0-9-]+)+$", "a domain name")
        self.assertTrue(values["User-Os"].strip())

    # -- account --------------------------------------------------------------------------------
    def test_update_login_info(self):
        outcome, _ = self.exchange(Reply(401), "UpdateLoginInfo")
        self.assertEqual(outcome.hr, VEXA_E_LOGINFAIL)
        self.assertEqual(self.invoke(self.message, "LoginInfo", DISPATCH_PROPERTYGET).hr, VEXA_E_NOTLOGINED,
                         "a 401 creates no login information")

        server_date = calendar.timegm((2024, 3, 5, 5, 7, 9))
        reply = users_reply(42, headers={"Date": "Tue, 05 Mar 2024 05:07:09 GMT"})
        outcome, request = self.exchange(reply, "UpdateLoginInfo")
        self.assertEqual(outcome.hr, S_OK)
        self.assertEqual((request.method, request.path, request.body),
                         ("GET", f"/users/{self.USER}/status", b""))

        login = self.get(self.message, "LoginInfo")
        expected = {"ServerIP": "127.0.0.1", "ServerPort": self.server.port, "UserID": self.USER,
                    "UserName": "홍길동", "UserPhoneNumber": "0212345678", "Logined": VEXA_SUCCEEDED,
                    "FreeCall": 42, "UserPhoneNumbers": BstrArray(0, ["0212345678", "0311112222"])}
        self.assertEqual({name: self.get(login, name) for name in expected}, expected)
        self.assertEqual(self.invoke(login, "UserPhoneNumbers", DISPATCH_PROPERTYGET).vt, VT_ARRAY | VT_BSTR)
        login3, numbers = self.query(login, IID_ILoginInfo3, ILOGININFO3), VARIANT()
        self.assertEqual(login3.call("get_UserPhoneNumbers", [PTR], byref(numbers)), S_OK)
        self.assertEqual(self.from_variant(numbers), (VT_ARRAY | VT_BSTR, expected["UserPhoneNumbers"]))
        # The server's clock, advanced by the whole seconds since the reply.
        server_time = self.get(login, "ServerTime")
        self.assertGreaterEqual(server_time, local_date(server_date))
        self.assertLess(server_time, local_date(server_date) + 1.0)
        for name in ("ServerVersion", "UserPassword", "FreePoint"):
            with self.subTest(member=name):
                self.assertEqual(self.invoke(login, name, DISPATCH_PROPERTYGET).hr, VEXA_E_DEPRECATED)

        outcome, _ = self.exchange(Reply(401), "UpdateLoginInfo")
        self.assertEqual(outcome.hr, VEXA_E_LOGINFAIL)
        self.assertEqual(self.get(login, "Logined"), VEXA_FAILED, "the object the host holds shows it")
        identities = [self.query(obj, IID_IUnknown, IUNKNOWN).ptr
                      for obj in (login, self.get(self.message, "LoginInfo"))]
        self.assertEqual(identities[0], identities[1], "still the same object")

        # Other failures leave the login information as it is.
        for reply, hr in [(Reply(540), VEXA_E_NEEDFORCALL), (Reply(541), VEXA_E_NEEDFORCALL),
                          (Reply(539), VEXA_E_SERVERERROR), (Reply(500), VEXA_E_SERVERERROR),
                          (Reply(200, "text/plain", b"OK"), VEXA_E_NOTCONNECTED),
                          (Reply(200, "application/json", b'{"users": {}}'), VEXA_E_NOTCONNECTED),
                          (Reply(200, XML, b"<users><status>"), VEXA_E_NOTCONNECTED),
                          (Reply(200, XML, b"<Users/>"), VEXA_E_NOTCONNECTED)]:
            with self.subTest(status=reply.status, content_type=reply.content_type, body=reply.body):
                outcome, _ = self.exchange(reply, "UpdateLoginInfo")
                self.assertEqual(outcome.hr, hr, f"0x{outcome.hr:08X}")
                self.assertEqual([self.get(login, "Logined"), self.get(login, "FreeCall")], [VEXA_FAILED, 42])

        outcome, _ = self.exchange(users_reply(5), "UpdateLoginInfo")
        self.assertEqual(outcome.hr, S_OK)
        self.assertEqual([self.get(login, "Logined"), self.get(login, "FreeCall")], [VEXA_SUCCEEDED, 5])

    # -- sending --------------------------------------------------------------------------------
    def test_send(self):
        common, subject, own = "공통 본문입니다", "알림 제목", "개별 <메시지> & 끝"
        receivers = self.call(self.message, "CreateReceivers")
        reserved = self.call(self.message, "CreateReceiverDirect", "01011112222", common, VEXA_RESERVATION,
                             Typed(VT_DATE, ole_date(2024, 3, 5, 14, 7, 30)))
        self.assertEqual(self.put(reserved, "Name", "홍길동"), S_OK)
        self.call(receivers, "Add", reserved)
        self.call(receivers, "AddDirect", "01033334444", own, VEXA_DIRECT, Typed(VT_DATE, 0.0))
        self.call(receivers, "AddDirect", "", "", VEXA_DIRECT, Typed(VT_DATE, 0.0))
        contents = self.call(self.message, "CreateContents")
        for member, value in [("Type", VEXA_MESSAGE_TYPE_LMS), ("Subject", subject), ("Message", common)]:
            self.assertEqual(self.put(contents, member, value), S_OK)

        replied = [node("receiver", result="succeed", phone="01011112222", index="101", date="202403",
                        sendtime="2024-03-05 14:07:30"),
                   node("receiver", result="Succeed", phone="01033334444", index="102", date="202403"),
                   node("receiver", result="fail", phone="")]
        reply = xml_reply("messages", node("receivers", *replied), node("info", node("status", call=9)))
        outcome, request = self.exchange(reply, "Send", "0212345678", receivers, contents)
        self.assertEqual(outcome.hr, S_OK, f"0x{outcome.hr:08X}")
        self.assertEqual((request.method, request.path), ("POST", f"/messages/{self.USER}"))

        self.assertTrue(request.body.isascii(), "text outside ASCII travels as character references")
        self.assertIn(f"&#x{ord('홍'):x};".encode(), request.body.lower())
        document = ET.fromstring(request.body)
        self.assertEqual(document.tag, "messages")
        self.assertEqual(children(document)[:-1], [
            ("sender", "0212345678"), ("message", common), ("type", "lms"), ("subject", subject),
            ("reservation", "Y"), ("free", "N"), ("count", "3")])
        self.assertEqual(document[-1].tag, "receivers")
        self.assertEqual([(receiver.tag, children(receiver)) for receiver in document[-1]], [
            ("receiver", [("phone", "01011112222"), ("name", "홍길동"), ("sendtime", "2024-03-05 14:07:30")]),
            ("receiver", [("phone", "01033334444"), ("message", own), ("sendtime", "systemtime")]),
            ("receiver", [("phone", ""), ("message", ""), ("sendtime", "systemtime")])])

        self.assertEqual(self.items(outcome.value, "Phone", "Result", "Date", "Index", "Type"), [
            ("01011112222", VEXA_SUCCEEDED, "202403", "101", VEXA_MESSAGE_TYPE_LMS),
            ("01033334444", VEXA_FAILED, "202403", "102", VEXA_MESSAGE_TYPE_LMS),
            ("", VEXA_FAILED, "", "", VEXA_MESSAGE_TYPE_LMS)])
        login = self.get(self.message, "LoginInfo")
        self.assertEqual(self.get(login, "FreeCall"), 9, "every 200 reply refreshes the login information")

    def test_send_one_without_contents(self):
        receiver = self.call(self.message, "CreateReceiverDirect", "01055556666", "단문 메시지", VEXA_DIRECT,
                             Typed(VT_DATE, 0.0))
        replied = node("receiver", result="succeed", phone="01055556666", index="7", date="202404")
        reply = xml_reply("messages", node("receivers", replied))
        outcome, request = self.exchange(reply, "SendOne", "", receiver, Typed(VT_DISPATCH, None))
        self.assertEqual((outcome.hr, outcome.vt), (S_OK, VT_DISPATCH))
        self.assertEqual((request.method, request.path), ("POST", f"/messages/{self.USER}"))
        document = ET.fromstring(request.body)
        self.assertEqual(children(document)[:-1], [("type", "sms"), ("reservation", "N"),
                                                   ("sendtime", "systemtime"), ("free", "N"), ("count", "1")])
        self.assertEqual(document[-1].tag, "receivers")
        self.assertEqual([children(element) for element in document[-1]],
                         [[("phone", "01055556666"), ("message", "단문 메시지"), ("sendtime", "systemtime")]])
        self.assertEqual([self.get(outcome.value, m) for m in ("Phone", "Result", "Date", "Index", "Type")],
                         ["01055556666", VEXA_SUCCEEDED, "202404", "7", VEXA_MESSAGE_TYPE_SMS])

    # -- log queries ----------------------------------------------------------------------------
    def test_log_paths_and_day_checks(self):
        for member, args, path in [
                ("RequestLog", (2024, 3, VEXA_BYRESERVATION, VEXA_MESSAGE_TYPE_ALL),
                 "all/202403/reservation"),
                ("RequestLog", (2024, 3, VEXA_BYALL, VEXA_MESSAGE_TYPE_SMS), "sms/202403"),
                ("RequestLogBound", (2024, 3, 5, 0, VEXA_BYALL, VEXA_MESSAGE_TYPE_LMS), "lms/2024030500"),
                ("RequestLogBound", (2024, 12, 1, 31, VEXA_BYALL, VEXA_MESSAGE_TYPE_MMS), "mms/2024120131"),
                ("RequestLogBound", (2000, 2, 29, 29, VEXA_BYRESERVATION, 9), "all/2000022929/reservation")]:
            with self.subTest(member=member, args=args):
                outcome, request = self.exchange(transfers_reply(), member, *args)
                self.assertEqual(outcome.hr, S_OK, f"0x{outcome.hr:08X}")
                self.assertEqual((request.method, request.path, request.body),
                                 ("GET", f"/transfers/{self.USER}/{path}", b""))
                self.assertEqual(self.get(outcome.value, "Count"), 0)

        for args in [(2024, 2, 30, 31), (2024, 2, 1, 30), (2023, 2, 29, 29), (4000, 2, 29, 29),
                     (2024, 13, 0, 0), (2024, 3, 32, 0), (2024, 3, -1, 0)]:
            with self.subTest(refused=args):
                self.server.script(transfers_reply())
                outcome = self.invoke(self.message, "RequestLogBound", DISPATCH_METHOD, *args, VEXA_BYALL, 0)
                self.assertEqual((outcome.hr, self.server.take()), (E_INVALIDARG, []))
        outcome = self.invoke(self.message, "RequestLog", DISPATCH_METHOD, 2024, 3, 2, 0)
        self.assertEqual((outcome.hr, self.server.take()), (E_INVALIDARG, []), "LogBy 2")

    def test_log_lists_from_reply(self):
        sent = 1709615229  # 2024-03-05 05:07:09 UTC
        reply = transfers_reply(
            dict(index="11", date="202403", type="LMS", isReservation="Y", phoneSend="01011112222",
                 phoneBack="0212345678", countTotal=3, countSuccess=2, countFailure=1, message="장문 메시지",
                 timeSend=sent, timeWrite=sent - 60, canCancel="Y", result="succeed"),
            dict(index="12", date="202403", type="xms", isReservation="y"))
        outcome, _ = self.exchange(reply, "RequestLog", 2024, 3, VEXA_BYALL, VEXA_MESSAGE_TYPE_ALL)
        members = ("Date", "Index", "Message", "SendMode", "ReceiverPhone", "ReturnPhone", "CountTotal",
                   "CountSucceed", "CountFailure", "SendTime", "WriteTime", "Type")
        self.assertEqual(self.items(outcome.value, *members), [
            ("202403", "11", "장문 메시지", VEXA_RESERVATION, "01011112222", "0212345678", 3, 2, 1,
             local_date(sent), local_date(sent - 60), VEXA_MESSAGE_TYPE_LMS),
            ("202403", "12", "", VEXA_DIRECT, "", "", 0, 0, 0, local_date(0), local_date(0),
             VEXA_MESSAGE_TYPE_SMS)])
        outcome = self.invoke(outcome.value, "AddDirect", DISPATCH_METHOD, 2024, 3, "13")
        self.assertEqual(outcome.hr, VEXA_E_DEPRECATED, "the list belongs to the service")

    def test_log_detail(self):
        records = [  # status, result, resultDetail, tranDate → Status, Result, TransDate
            ("2", "0", "", "2024-03-05 14:07:09", 1, 1, ole_date(2024, 3, 5, 14, 7, 9)),
            ("3", "0", "7", "2024-03-05", 2, 7, 0.0),
            ("1", "2", "", "", 0, 2, 0.0),
            ("", "5", "", "2024-02-30 10:00:00", 0, 0, 0.0)]
        details = [node("detail", message=f"본문 {i}", name=f"수신자 {i}", phoneSend=f"010{i}", status=status,
                        result=result, resultDetail=detail, tranDate=date, tranRsltDate="2024-03-05 14:08:00")
                   for i, (status, result, detail, date, *_) in enumerate(records)]
        images = node("images", node("image", url="http://img.example/1.jpg"), node("image", url=""),
                      node("image", url="http://img.example/3.jpg"))
        reply = xml_reply("transfers", images, node("details", *details), index="17", date="202403",
                          type="mms", phoneBack="0212345678", isReservation="N")
        outcome, request = self.exchange(reply, "RequestLogDetail", 2024, 3, "17", VEXA_MESSAGE_TYPE_MMS)
        self.assertEqual(outcome.hr, S_OK, f"0x{outcome.hr:08X}")
        self.assertEqual((request.method, request.path, request.body),
                         ("GET", f"/transfers/{self.USER}/detail/mms/202403/17", b""))

        log_details = outcome.value
        members = ("Date", "Index", "ReturnPhone", "Type", "ImageURLs")
        self.assertEqual([self.get(log_details, m) for m in members],
                         ["202403", "17", "0212345678", VEXA_MESSAGE_TYPE_MMS,
                          BstrArray(0, ["http://img.example/1.jpg", "http://img.example/3.jpg"])])
        got = self.items(log_details, "ReceiverPhone", "Message", "Name", "Status", "Result", "TransDate")
        self.assertEqual(len(got), len(records))
        for i, (row, (*_, status, result, trans_date)) in enumerate(zip(got, records)):
            with self.subTest(record=i):
                self.assertEqual(row[:5], (f"010{i}", f"본문 {i}", f"수신자 {i}", status, result))
                self.assertAlmostEqual(row[5], trans_date, delta=0.5 / 86400)

        outcome = self.invoke(self.message, "RequestLogDetail", DISPATCH_METHOD, 2024, 13, "17",
                              VEXA_MESSAGE_TYPE_MMS)
        self.assertEqual((outcome.hr, self.server.take()), (E_INVALIDARG, []))

    # -- deleting and cancelling ----------------------------------------------------------------
    def test_delete_log_by_lists(self):
        log_lists = self.call(self.message, "CreateLogLists")
        entries = [(2024, 3, "11", VEXA_MESSAGE_TYPE_SMS, "202403", "sms"),
                   (2024, 4, "12", VEXA_MESSAGE_TYPE_LMS, "202404", "lms"),
                   (2023, 12, "13", VEXA_MESSAGE_TYPE_MMS, "202312", "mms")]
        for year, month, index, kind, *_ in entries:
            entry = self.call(self.message, "CreateLogListDirect", year, month, index, kind)
            self.call(log_lists, "Add", entry)
        reply = transfers_reply(dict(index="11", date="202403", result="succeed"),
                                dict(index="12", date="202404", result="Succeed"))
        outcome, request = self.exchange(reply, "DeleteLogByLists", log_lists)
        self.assertEqual(outcome.hr, S_OK, f"0x{outcome.hr:08X}")
        self.assertEqual((request.method, request.path), ("DELETE", f"/transfers/{self.USER}"))
        document = ET.fromstring(request.body)
        self.assertEqual(document.tag, "logs")
        self.assertEqual([(log.tag, children(log)) for log in document],
                         [("log", [("index", index), ("date", date), ("type", word)])
                          for _, _, index, _, date, word in entries])
        self.assertEqual(self.items(outcome.value, "Date", "Index", "Result"),
                         [("202403", "11", VEXA_SUCCEEDED), ("202404", "12", VEXA_FAILED)])

        outcome, _ = self.exchange(transfers_reply(), "DeleteLog", 2024, 3, "11", VEXA_MESSAGE_TYPE_SMS)
        self.assertEqual((outcome.hr, outcome.value), (S_OK, None), "nothing reported: no result object")

    def test_cancel_reservation(self):
        reply = transfers_reply(dict(index="21", date="202403", countTotal=3, countSuccess=3, countFailure=0,
                                     result="succeed"))
        outcome, request = self.exchange(reply, "CancelReservation", 2024, 3, "21", VEXA_MESSAGE_TYPE_LMS)
        self.assertEqual(outcome.hr, S_OK, f"0x{outcome.hr:08X}")
        self.assertEqual((request.method, request.path), ("PUT", f"/transfers/{self.USER}/cancel"))
        document = ET.fromstring(request.body)
        self.assertEqual((document.tag, [children(log) for log in document]),
                         ("logs", [[("index", "21"), ("date", "202403"), ("type", "lms")]]))
        members = ("Date", "Index", "CountTotal", "CountSucceed", "CountFailure", "Result")
        self.assertEqual([self.get(outcome.value, m) for m in members],
                         ["202403", "21", 3, 3, 0, VEXA_SUCCEEDED])


if __name__ == "__main__":
    vexa_ctypes.main()
