"""A host in another language: loads VexaComponent32.so with ctypes and drives it only through the
binary contract (exported functions, vtables, IDispatch). Nothing here knows the module's insides.

Run: python3 ctypes_host_test.py /path/to/VexaComponent32.so [unittest options]
"""

from ctypes import byref, c_double, c_int32, c_uint32, c_void_p

import vexa_ctypes
from vexa_ctypes import (BSTR, CLASS_E_CLASSNOTAVAILABLE, CLSID_Message, CLSID_Receiver, DATE, DISP_CONTENTS,
                         DISP_E_BADPARAMCOUNT, DISP_E_BADVARTYPE, DISP_E_EXCEPTION, DISP_E_MEMBERNOTFOUND,
                         DISP_E_NONAMEDARGS, DISP_E_TYPEMISMATCH, DISP_E_UNKNOWNNAME, DISP_LOGLIST, DISP_LOGLISTS,
                         DISP_MESSAGE, DISP_RECEIVER, DISP_RECEIVERS, DISPATCH_METHOD, DISPATCH_PROPERTYGET,
                         DISPATCH_PROPERTYPUT, DISPID_NEWENUM, DISPID_PROPERTYPUT, E_INVALIDARG, E_NOINTERFACE,
                         IDISPATCH, IENUMVARIANT, IID_IClassFactory, IID_IDispatch, IID_IEnumVARIANT, IID_IMessage,
                         IID_IReceiver, IID_IReceivers, IID_IUnknown, IMESSAGE, IRECEIVER, IRECEIVERS, IUNKNOWN,
                         PTR, S_FALSE, S_OK, VARIANT, VEXA_DIRECT, VEXA_E_DEPRECATED, VEXA_E_NOTLOGINED,
                         VEXA_RESERVATION, VT_BSTR, VT_DATE, VT_DISPATCH, VT_I4, VT_UNKNOWN, Com, HostTestCase,
                         Typed, failed)


# ---------------------------------------------------------------------------------------------

class MessageHostTest(HostTestCase):
    @classmethod
    def setUpClass(cls):
        hr, message = cls.module.create_instance(CLSID_Message, IID_IDispatch)
        if hr != S_OK or not message:
            raise AssertionError(f"creating Message: 0x{hr:08X}")
        cls.message = Com(cls.module, message, IDISPATCH)

    @classmethod
    def tearDownClass(cls):
        # Every test has released what it obtained; only the Message object keeps the module busy.
        busy = cls.module.can_unload()
        cls.message.release()
        idle = cls.module.can_unload()
        if (busy, idle) != (S_FALSE, S_OK):
            raise AssertionError(f"DllCanUnloadNow before/after the last release: {busy}, {idle}")

    def array_base(self, base):
        """Sets the module-wide ArrayBase for this test and restores 0 afterwards."""
        self.assertEqual(self.put(self.message, "ArrayBase", base), S_OK)
        self.addCleanup(self.put, self.message, "ArrayBase", 0)

    def test_class_objects(self):
        for clsid, iid, expected in [(CLSID_Message, IID_IUnknown, S_OK),
                                     (CLSID_Message, IID_IDispatch, E_NOINTERFACE),
                                     (CLSID_Receiver, IID_IClassFactory, CLASS_E_CLASSNOTAVAILABLE)]:
            with self.subTest(clsid=clsid.Data1, iid=iid.Data1):
                hr, ptr = self.module.get_class_object(clsid, iid)
                self.assertEqual(hr, expected)
                if ptr:
                    self.adopt(ptr, IUNKNOWN)

    def test_every_member_name_resolves_to_its_catalogue_dispid(self):
        objects = {"DispMessage": (self.message, DISP_MESSAGE),
                   "DispReceiver": (self.call(self.message, "CreateReceiver"), DISP_RECEIVER),
                   "DispReceivers": (self.call(self.message, "CreateReceivers"), DISP_RECEIVERS),
                   "DispContents": (self.call(self.message, "CreateContents"), DISP_CONTENTS),
                   "DispLogList": (self.call(self.message, "CreateLogList"), DISP_LOGLIST),
                   "DispLogLists": (self.call(self.message, "CreateLogLists"), DISP_LOGLISTS)}
        for interface, (disp, table) in objects.items():
            for name, expected in table.items():
                with self.subTest(interface=interface, name=name):
                    self.assertEqual(self.dispid(disp, name), (S_OK, expected))
            with self.subTest(interface=interface, name="unknown"):
                self.assertEqual(self.dispid(disp, "NoSuchMember")[0], DISP_E_UNKNOWNNAME)
        contents = objects["DispContents"][0]
        self.assertEqual(self.dispid(contents, "AddJPEGImageStream")[0], DISP_E_UNKNOWNNAME)
        self.assertEqual(self.dispid(self.message, "versionmajor"), (S_OK, -500))
        self.assertEqual(self.dispid(self.message, "CREATERECEIVERS"), (S_OK, 51))

    def test_front_object_members(self):
        cases = [  # member, flags, arguments, expected HRESULT, expected value
            ("VersionMajor", DISPATCH_PROPERTYGET, (), S_OK, 4),
            ("VersionMinor", DISPATCH_PROPERTYGET, (), S_OK, 2),
            ("GetErrorMessage", DISPATCH_METHOD, (0x8004A007,), S_OK, "로그인하지 않았습니다."),
            ("GetErrorMessage", DISPATCH_METHOD, (0x8004A00D,), S_OK, "더 이상 지원되지 않는 메서드 또는 속성입니다."),
            ("LoginInfo", DISPATCH_PROPERTYGET, (), VEXA_E_NOTLOGINED, None),
            ("ServiceCode", DISPATCH_PROPERTYGET, (), VEXA_E_DEPRECATED, None),
            ("OfficeName", DISPATCH_PROPERTYGET, (), VEXA_E_DEPRECATED, None),
        ]
        for member, flags, args, hr, value in cases:
            with self.subTest(member=member, args=args):
                outcome = self.invoke(self.message, member, flags, *args)
                self.assertEqual(outcome.hr, hr, f"0x{outcome.hr:08X}")
                if hr == S_OK:
                    self.assertEqual(outcome.value, value)
                    self.assertEqual(outcome.vt, VT_BSTR if isinstance(value, str) else VT_I4)
        self.assertEqual(self.put(self.message, "ServiceCode", "code"), VEXA_E_DEPRECATED)

    def test_array_base_put_and_get(self):
        self.assertEqual(self.get(self.message, "ArrayBase"), 0)
        self.array_base(1)
        self.assertEqual(self.get(self.message, "ArrayBase"), 1)
        for refused in (2, -1):
            with self.subTest(value=refused):
                self.assertEqual(self.put(self.message, "ArrayBase", refused), E_INVALIDARG)
                outcome = self.invoke(self.message, "ArrayBase", DISPATCH_PROPERTYPUT, refused,
                                      named=(DISPID_PROPERTYPUT,), excepinfo=True)
                self.assertEqual((outcome.hr, outcome.scode), (DISP_E_EXCEPTION, E_INVALIDARG))
                self.assertEqual(self.get(self.message, "ArrayBase"), 1)

    def test_late_bound_call_rules(self):
        receivers = self.call(self.message, "CreateReceivers")
        self.call(receivers, "AddDirect", "0101", "first", VEXA_DIRECT, Typed(VT_DATE, 0.0))
        self.call(receivers, "AddDirect", "0102", "second", VEXA_DIRECT, Typed(VT_DATE, 0.0))
        cases = [  # object, member, flags, arguments, named dispids, parameter block passed, expected
            (self.message, "VersionMajor", DISPATCH_PROPERTYGET, (), (), False, DISP_E_BADVARTYPE),
            (self.message, "VersionMajor", DISPATCH_PROPERTYGET, (1,), (), True, DISP_E_BADPARAMCOUNT),
            (self.message, "GetErrorMessage", DISPATCH_METHOD, (), (), True, DISP_E_BADPARAMCOUNT),
            (self.message, "CreateLogListDirect", DISPATCH_METHOD, (2024, 3, "12"), (), True,
             DISP_E_BADPARAMCOUNT),
            (receivers, "Item", DISPATCH_PROPERTYGET, (), (), True, DISP_E_BADPARAMCOUNT),
            (self.message, 999, DISPATCH_PROPERTYGET, (), (), True, DISP_E_MEMBERNOTFOUND),
            (self.message, 999, DISPATCH_METHOD, (), (), True, DISP_E_MEMBERNOTFOUND),
            (self.message, "GetErrorMessage", DISPATCH_METHOD, (0x8004A007,), (DISPID_PROPERTYPUT,), True,
             DISP_E_NONAMEDARGS),
            (self.message, "GetErrorMessage", DISPATCH_METHOD, (0x8004A007,), (0,), True, DISP_E_NONAMEDARGS),
        ]
        for disp, member, flags, args, named, params, expected in cases:
            with self.subTest(member=member, flags=flags, args=args, named=named, params=params):
                outcome = self.invoke(disp, member, flags, *args, named=named, params=params)
                self.assertEqual(outcome.hr, expected, f"0x{outcome.hr:08X}")

        contents = self.call(self.message, "CreateContents")
        self.assertEqual(self.invoke(contents, 5, DISPATCH_METHOD, Typed(VT_UNKNOWN, None)).hr,
                         DISP_E_MEMBERNOTFOUND, "AddJPEGImageStream is not on the dispinterface")

        # A BSTR index is converted to the member's I4; text that is no number cannot be.
        self.assertEqual(self.get(self.get(receivers, "Item", "1"), "Phone"), "0102")
        outcome = self.invoke(receivers, "Item", DISPATCH_PROPERTYGET, "one", arg_err=True)
        self.assertEqual((outcome.hr, outcome.arg_err), (DISP_E_TYPEMISMATCH, 0))
        # Script engines pass METHOD | PROPERTYGET when they cannot tell which is meant.
        first = self.invoke(receivers, "Item", DISPATCH_METHOD | DISPATCH_PROPERTYGET, 0)
        self.assertEqual(self.get(first.value, "Phone"), "0101")

    def test_receiver_defaults_and_properties(self):
        receiver = self.call(self.message, "CreateReceiver")
        for member, vt, value in [("Phone", VT_BSTR, ""), ("Message", VT_BSTR, ""), ("Name", VT_BSTR, ""),
                                  ("SendMode", VT_I4, VEXA_DIRECT), ("SendTime", VT_DATE, 0.0)]:
            with self.subTest(member=member):
                outcome = self.invoke(receiver, member, DISPATCH_PROPERTYGET)
                self.assertEqual((outcome.hr, outcome.vt, outcome.value), (S_OK, vt, value))
        for member, value, expected in [("Phone", "010-1234-5678", "010-1234-5678"),
                                        ("Message", "안녕하세요, 반갑습니다 😀", "안녕하세요, 반갑습니다 😀"),
                                        ("Message", "ab\0cd", "ab"), ("Message", Typed(VT_BSTR, None), ""),
                                        ("Name", "홍길동", "홍길동"),
                                        ("SendMode", VEXA_RESERVATION, VEXA_RESERVATION),
                                        ("SendTime", Typed(VT_DATE, 45366.75), 45366.75)]:
            with self.subTest(member=member, value=value):
                self.assertEqual(self.put(receiver, member, value), S_OK)
                self.assertEqual(self.get(receiver, member), expected)

        direct = self.call(self.message, "CreateReceiverDirect", "01098765432", "한글 메시지", VEXA_RESERVATION,
                           Typed(VT_DATE, 45366.5))
        self.assertEqual([self.get(direct, m) for m in ("Phone", "Message", "SendMode", "SendTime")],
                         ["01098765432", "한글 메시지", VEXA_RESERVATION, 45366.5])

    def test_receivers_collection(self):
        receivers = self.call(self.message, "CreateReceivers")
        receiver = self.call(self.message, "CreateReceiverDirect", "0101", "하나", VEXA_DIRECT,
                             Typed(VT_DATE, 0.0))
        self.assertEqual(self.call(receivers, "Add", receiver), None)
        self.call(receivers, "AddDirect", "0102", "둘", VEXA_RESERVATION, Typed(VT_DATE, 45000.5))
        self.call(receivers, "AddDirect", Typed(VT_BSTR, None), "셋", VEXA_DIRECT, Typed(VT_DATE, 0.0))
        self.assertEqual(self.get(receivers, "Count"), 3)

        def phone_at(index):
            outcome = self.invoke(receivers, "Item", DISPATCH_PROPERTYGET, index)
            return self.get(outcome.value, "Phone") if outcome.hr == S_OK else outcome.hr

        expected = [E_INVALIDARG, "0101", "0102", "", E_INVALIDARG]
        self.assertEqual([phone_at(i) for i in (-1, 0, 1, 2, 3)], expected)
        self.array_base(1)
        self.assertEqual([phone_at(i) for i in (0, 1, 2, 3, 4)], expected)
        self.assertEqual(self.invoke(receivers, "Remove", DISPATCH_METHOD, 0).hr, E_INVALIDARG)
        self.call(receivers, "Remove", 1)
        self.assertEqual([self.get(receivers, "Count"), phone_at(1)], [2, "0102"])

        first = self.get(receivers, "Item", 1)
        self.assertEqual(self.get(first, "SendMode"), VEXA_RESERVATION)
        self.assertEqual(self.get(first, "SendTime"), 45000.5)
        log_list = self.call(self.message, "CreateLogList")
        self.assertEqual(self.invoke(receivers, "Add", DISPATCH_METHOD, log_list).hr, E_INVALIDARG,
                         "a LogList is not a receiver")
        self.assertEqual(self.get(receivers, "Count"), 2)

        # For Each in a script engine: _NewEnum through Invoke, then IEnumVARIANT.
        enum = self.invoke(receivers, DISPID_NEWENUM, DISPATCH_PROPERTYGET)
        self.assertEqual((enum.hr, enum.vt), (S_OK, VT_UNKNOWN))
        enum = self.query(enum.value, IID_IEnumVARIANT, IENUMVARIANT)
        items = (VARIANT * 3)()
        fetched = c_uint32()
        self.assertEqual(enum.call("Next", [c_uint32, PTR, PTR], 3, items, byref(fetched)), S_FALSE)
        self.assertEqual(fetched.value, 2)
        phones = [self.get(self.from_variant(items[i])[1], "Phone") for i in range(fetched.value)]
        self.assertEqual(phones, ["0102", ""])

    def test_contents_properties(self):
        contents = self.call(self.message, "CreateContents")
        for member, value in [("Type", 3), ("Subject", "제목"), ("Message", "본문 텍스트"), ("Type", 1)]:
            with self.subTest(member=member):
                self.assertEqual(self.put(contents, member, value), S_OK)
                self.assertEqual(self.get(contents, member), value)
        self.assertEqual([self.get(contents, "ImageCount"), self.get(contents, "ImagesSize")], [0, 0])

    def test_log_lists_and_log_list(self):
        log_lists = self.call(self.message, "CreateLogLists")
        self.assertEqual(self.invoke(log_lists, "AddDirect", DISPATCH_METHOD, 2024, 3, "12").hr,
                         VEXA_E_DEPRECATED)
        self.assertEqual(self.get(log_lists, "Count"), 0)

        log_list = self.call(self.message, "CreateLogListDirect", 2024, 3, "12", 2)
        self.assertEqual([self.get(log_list, m) for m in ("Date", "Index", "Type")], ["202403", "12", 2])
        early = self.call(self.message, "CreateLogListDirect", 5, 3, "", 1)
        self.assertEqual(self.get(early, "Date"), "000503")
        for year, month in [(0, 3), (10000, 3), (2024, 0), (2024, 13)]:
            with self.subTest(year=year, month=month):
                args = (year, month, "1", 1)
                outcome = self.invoke(self.message, "CreateLogListDirect", DISPATCH_METHOD, *args)
                self.assertEqual(outcome.hr, E_INVALIDARG)

        for date, hr in [("20245", E_INVALIDARG), ("2024050", E_INVALIDARG),
                         (Typed(VT_BSTR, None), E_INVALIDARG), ("202405", S_OK)]:
            with self.subTest(date=date):
                self.assertEqual(self.put(log_list, "Date", date), hr)
        self.assertEqual(self.get(log_list, "Date"), "202405")
        self.assertEqual(self.put(log_list, "Index", "any text"), S_OK)
        self.assertEqual(self.get(log_list, "Index"), "any text")

        self.call(log_lists, "Add", log_list)
        receiver = self.call(self.message, "CreateReceiver")
        self.assertEqual(self.invoke(log_lists, "Add", DISPATCH_METHOD, receiver).hr, E_INVALIDARG)
        self.assertEqual(self.get(self.get(log_lists, "Item", 0), "Index"), "any text")

    def test_vtables(self):
        message = self.query(self.message, IID_IMessage, IMESSAGE)
        major, out = c_int32(), c_void_p()
        self.assertEqual(message.call("get_VersionMajor", [PTR], byref(major)), S_OK)
        self.assertEqual(major.value, 4)
        self.assertEqual(message.call("GetErrorMessage", [c_int32, PTR], c_int32(VEXA_E_NOTLOGINED).value,
                                      byref(out)), S_OK)
        self.assertEqual(self.module.take_bstr(out.value), "로그인하지 않았습니다.")
        self.assertEqual(message.call("get_ServiceCode", [PTR], byref(out)), VEXA_E_DEPRECATED)

        self.assertEqual(message.call("CreateReceivers", [PTR], byref(out)), S_OK)
        receivers = self.query(self.adopt(out.value), IID_IReceivers, IRECEIVERS)
        add_direct = [BSTR, BSTR, c_int32, DATE]  # the DATE travels in a floating-point register
        for phone, time in [("0101", 0.0), ("0102", 45000.25), ("0103", 45001.5)]:
            self.assertEqual(receivers.call("AddDirect", add_direct, self.bstr(phone), self.bstr("본문"),
                                            VEXA_RESERVATION, time), S_OK)
        count = c_int32()
        self.assertEqual(receivers.call("get_Count", [PTR], byref(count)), S_OK)
        self.assertEqual(count.value, 3)

        self.assertEqual(receivers.call("get_Item", [c_int32, PTR], 1, byref(out)), S_OK)
        item = self.query(self.adopt(out.value), IID_IReceiver, IRECEIVER)
        send_time = c_double()
        self.assertEqual(item.call("get_Phone", [PTR], byref(out)), S_OK)
        self.assertEqual(self.module.take_bstr(out.value), "0102")
        self.assertEqual(item.call("get_SendTime", [PTR], byref(send_time)), S_OK)
        self.assertEqual(send_time.value, 45000.25)
        self.assertEqual(receivers.call("get_Item", [c_int32, PTR], 3, byref(out)), E_INVALIDARG)

        self.assertEqual(receivers.call("get__NewEnum", [PTR], byref(out)), S_OK)
        enum = self.query(self.adopt(out.value, IUNKNOWN), IID_IEnumVARIANT, IENUMVARIANT)
        next_ = [c_uint32, PTR, PTR]

        def phones_of(variants, n):
            return [self.get(self.from_variant(variants[i])[1], "Phone") for i in range(n)]

        one, two, fetched = VARIANT(), (VARIANT * 2)(), c_uint32()
        self.assertEqual(enum.call("Next", next_, 1, byref(one), None), S_OK)
        self.assertEqual(one.vt, VT_DISPATCH)
        self.assertEqual(phones_of([one], 1), ["0101"])
        self.assertTrue(failed(enum.call("Next", next_, 2, two, None)), "a null fetched count needs celt 1")
        self.assertEqual(enum.call("Skip", [c_uint32], 1), S_OK)
        self.assertEqual(enum.call("Next", next_, 2, two, byref(fetched)), S_FALSE)
        self.assertEqual(phones_of(two, fetched.value), ["0103"])
        self.assertEqual(enum.call("Skip", [c_uint32], 1), S_FALSE)

        self.assertEqual(enum.call("Reset", []), S_OK)
        self.assertEqual(enum.call("Skip", [c_uint32], 1), S_OK)
        self.assertEqual(enum.call("Clone", [PTR], byref(out)), S_OK)
        clone = self.adopt(out.value, IENUMVARIANT)
        self.assertEqual(clone.call("Next", next_, 2, two, byref(fetched)), S_OK)
        self.assertEqual(phones_of(two, fetched.value), ["0102", "0103"])
        self.assertEqual(enum.call("Next", next_, 1, byref(one), byref(fetched)), S_OK)
        self.assertEqual(phones_of([one], fetched.value), ["0102"], "the clone advances on its own")


if __name__ == "__main__":
    vexa_ctypes.main()
