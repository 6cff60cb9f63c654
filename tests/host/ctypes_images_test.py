"""A host in another language puts pictures into a multimedia message: PNG files and JPEG bytes in the
module's own in-memory streams enter a Contents object, then go out through a real vexa-sandbox
process, which serves each picture back over HTTP. The pictures are made here with the standard
library only.

Run: python3 ctypes_images_test.py /path/to/VexaComponent32.so --sandbox /path/to/vexa-sandbox
     [unittest options]  (without --sandbox the sandbox tests are skipped)
"""

import base64
import os
import random
import re
import shutil
import struct
import tempfile
import unittest
import urllib.error
import urllib.request
import xml.etree.ElementTree as ET
import zlib
from ctypes import byref, c_int32

import vexa_ctypes
from vexa_ctypes import (BSTR, CLSID_Message, DISP_E_UNKNOWNNAME, DISPATCH_METHOD, ICONTENTS, IID_IContents,
                         IID_ILogDetails3, IID_IServiceEndpoint, ILOGDETAILS3, ISERVICEENDPOINT, PTR, S_OK, VARIANT,
                         VEXA_DIRECT, VEXA_E_FILEISTOOLARGE, VEXA_E_NOTADDED, VEXA_MESSAGE_TYPE_MMS, VEXA_SUCCEEDED,
                         VT_ARRAY, VT_BSTR, VT_DATE, ULONG, HostTestCase, Typed)

SANDBOX = None  # the vexa-sandbox executable, from --sandbox
MAX_IMAGES_SIZE = 3000000  # JPEG bytes one multimedia message may carry


# ---------------------------------------------------------------------------------------------
# Pictures.

def png_picture(width, height, alpha):
    """A truecolour PNG with a colour gradient; with `alpha`, transparent on the left, opaque on the right."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    def pixel(x, y):
        rgb = bytes([x * 255 // (width - 1), y * 255 // (height - 1), 160])
        return rgb + bytes([x * 255 // (width - 1)]) if alpha else rgb

    rows = b"".join(b"\0" + b"".join(pixel(x, y) for x in range(width)) for y in range(height))
    header = struct.pack(">IIBBBBB", width, height, 8, 6 if alpha else 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows))
            + chunk(b"IEND", b""))


def jpeg_segment(marker, payload):
    return bytes([0xFF, marker]) + struct.pack(">H", 2 + len(payload)) + payload


def gray_jpeg(width, height, size=None):
    """A baseline JPEG of a mid-grey picture (width and height multiples of 8). Every block is only
    its DC term, so one-code Huffman tables suffice and each block takes two bits of the scan. With
    `size`, comment segments pad the file to exactly that many bytes."""
    one_code = bytes([1] + [0] * 15) + b"\0"  # one code of length 1, for symbol 0
    head = (b"\xff\xd8" + jpeg_segment(0xDB, b"\0" + b"\1" * 64)
            + jpeg_segment(0xC0, struct.pack(">BHHBBBB", 8, height, width, 1, 1, 0x11, 0))
            + jpeg_segment(0xC4, b"\x00" + one_code) + jpeg_segment(0xC4, b"\x10" + one_code))
    bits = "00" * ((width // 8) * (height // 8))  # DC difference 0, end of block
    bits += "1" * (-len(bits) % 8)
    scan = (jpeg_segment(0xDA, bytes([1, 1, 0x00, 0, 63, 0])) + int(bits, 2).to_bytes(len(bits) // 8, "big")
            + b"\xff\xd9")
    padding = []
    missing = 0 if size is None else size - len(head) - len(scan)
    while missing > 0:
        length = min(missing, 0xFFFF + 2)
        if 0 < missing - length < 4:  # leave room for one more whole segment
            length -= 4
        padding.append(jpeg_segment(0xFE, b"~" * (length - 4)))
        missing -= length
    picture = head + b"".join(padding) + scan
    assert size is None or len(picture) == size
    return picture


def jpeg_frame(data):
    """The start-of-frame marker, width, height and component count of a JPEG, from its segments."""
    position = 2
    while data[position] == 0xFF and position + 9 < len(data):
        marker, length = data[position + 1], struct.unpack_from(">H", data, position + 2)[0]
        if 0xC0 <= marker <= 0xCF and marker not in (0xC4, 0xC8, 0xCC):
            _, height, width, components = struct.unpack_from(">BHHB", data, position + 4)
            return marker, width, height, components
        position += 2 + length
    return None


# ---------------------------------------------------------------------------------------------

class ImagesTestCase(HostTestCase):
    def setUp(self):
        super().setUp()
        self.message = self.new_object(CLSID_Message)
        self.scratch = tempfile.mkdtemp(prefix="vexa-images-")
        self.addCleanup(shutil.rmtree, self.scratch)

    def picture_file(self, name, data):
        path = os.path.join(self.scratch, name)
        with open(path, "wb") as file:
            file.write(data)
        return path

    def contents(self):
        """A new Contents late-bound, and the same object early-bound."""
        contents = self.call(self.message, "CreateContents")
        return contents, self.query(contents, IID_IContents, ICONTENTS)

    def add_file(self, early, path):
        written = c_int32(-1)
        return early.call("AddImageFile", [BSTR, PTR], self.bstr(path), byref(written)), written.value

    def add_stream(self, early, stream):
        written = c_int32(-1)
        hr = early.call("AddJPEGImageStream", [PTR, PTR], stream.ptr, byref(written))
        # The stream is only read: the caller's reference is still the only one.
        self.assertEqual(stream.call("AddRef", [], restype=ULONG), 2)
        self.assertEqual(stream.call("Release", [], restype=ULONG), 1)
        return hr, written.value

    def image_totals(self, contents, early):
        """ImageCount and ImagesSize, read late-bound and early-bound."""
        late = (self.get(contents, "ImageCount"), self.get(contents, "ImagesSize"))
        count, size = c_int32(-1), c_int32(-1)
        self.assertEqual(early.call("get_ImageCount", [PTR], byref(count)), S_OK)
        self.assertEqual(early.call("get_ImagesSize", [PTR], byref(size)), S_OK)
        return late, (count.value, size.value)


class ContentsImagesTest(ImagesTestCase):
    def test_pictures_enter_contents(self):
        contents, early = self.contents()
        jpeg, png = gray_jpeg(32, 16), png_picture(24, 16, alpha=False)
        noise = random.Random(5).randbytes(4096)

        def late_file(path):
            outcome = self.invoke(contents, "AddImageFile", DISPATCH_METHOD, path)
            return outcome.hr, outcome.value if outcome.hr == S_OK else 0  # a failed call returns no value

        converted = None  # a new JPEG of unknown length
        cases = [  # what is added, how, the result and the byte count
            ("PNG file", lambda: self.add_file(early, self.picture_file("plain.png", png)), S_OK, converted),
            ("PNG file with alpha, late-bound",
             lambda: late_file(self.picture_file("alpha.png", png_picture(24, 16, alpha=True))), S_OK, converted),
            ("PNG file under a Korean name",
             lambda: self.add_file(early, self.picture_file("사진 한 장.png", png)), S_OK, converted),
            ("missing file", lambda: self.add_file(early, os.path.join(self.scratch, "none.png")),
             VEXA_E_NOTADDED, 0),
            ("file of noise, late-bound", lambda: late_file(self.picture_file("noise.jpg", noise)),
             VEXA_E_NOTADDED, 0),
            ("JPEG stream at its start", lambda: self.add_stream(early, self.memory_stream(jpeg)), S_OK, len(jpeg)),
            ("JPEG stream at its end, still whole",
             lambda: self.add_stream(early, self.memory_stream(jpeg, rewind=False)), S_OK, len(jpeg)),
            ("PNG stream, embedded as it is", lambda: self.add_stream(early, self.memory_stream(png)), S_OK,
             len(png)),
            ("stream of noise", lambda: self.add_stream(early, self.memory_stream(noise)), VEXA_E_NOTADDED, 0),
            ("empty stream", lambda: self.add_stream(early, self.memory_stream(b"")), VEXA_E_NOTADDED, 0),
        ]
        count = size = 0
        for name, add, hr, written in cases:
            with self.subTest(name):
                got_hr, got_written = add()
                self.assertEqual(got_hr, hr, f"0x{got_hr:08X}")
                if written is converted:
                    self.assertGreater(got_written, 0)
                else:
                    self.assertEqual(got_written, written)
                if got_hr == S_OK:
                    count, size = count + 1, size + got_written
                self.assertEqual(self.image_totals(contents, early), ((count, size),) * 2)
        self.assertEqual(count, 6)
        self.assertEqual(self.dispid(contents, "AddJPEGImageStream")[0], DISP_E_UNKNOWNNAME,
                         "a stream cannot travel late-bound")


class SandboxImagesTest(ImagesTestCase):
    USER, PASSWORD = "pyhost", "picture-password"
    RECEIVER = "010-2345-6789"

    @classmethod
    def setUpClass(cls):
        if SANDBOX is None:
            raise unittest.SkipTest("no --sandbox given")
        cls.http = urllib.request.build_opener(urllib.request.ProxyHandler({}))
        cls.endpoint = vexa_ctypes.start_sandbox(
            cls, SANDBOX, ["--account", f"{cls.USER}:{cls.PASSWORD}", "--delivery-delay", "0"])["http"]

    def setUp(self):
        super().setUp()
        endpoint = self.query(self.message, IID_IServiceEndpoint, ISERVICEENDPOINT)
        self.assertEqual(endpoint.call("SetEndpoint", [BSTR], self.bstr(self.endpoint)), S_OK)
        self.call(self.message, "SetAccountInfo", self.USER, self.PASSWORD)

    def credit(self):
        self.call(self.message, "UpdateLoginInfo")
        return self.get(self.get(self.message, "LoginInfo"), "FreeCall")

    def mms_contents(self, subject, text):
        contents, early = self.contents()
        for member, value in [("Type", VEXA_MESSAGE_TYPE_MMS), ("Subject", subject), ("Message", text)]:
            self.assertEqual(self.put(contents, member, value), S_OK)
        return contents, early

    def send(self, contents):
        """Sends the contents to one receiver; the outcome of Message.Send."""
        receivers = self.call(self.message, "CreateReceivers")
        self.call(receivers, "AddDirect", self.RECEIVER, "", VEXA_DIRECT, Typed(VT_DATE, 0.0))
        return self.invoke(self.message, "Send", DISPATCH_METHOD, "", receivers, contents)

    def sent_transfer(self, outcome):
        """The month key and index of the one receiver a successful Send reported."""
        self.assertEqual(outcome.hr, S_OK, f"0x{outcome.hr:08X}")
        result = self.get(outcome.value, "Item", 0)
        self.assertEqual(self.get(result, "Result"), VEXA_SUCCEEDED)
        return self.get(result, "Date"), self.get(result, "Index")

    def image_urls(self, date, index):
        """The picture addresses of a multimedia transfer, from its log detail through ILogDetails3."""
        details = self.call(self.message, "RequestLogDetail", int(date[:4]), int(date[4:]), index,
                            VEXA_MESSAGE_TYPE_MMS)
        urls = VARIANT()
        early = self.query(details, IID_ILogDetails3, ILOGDETAILS3)
        self.assertEqual(early.call("get_ImageURLs", [PTR], byref(urls)), S_OK)
        vt, urls = self.from_variant(urls)
        self.assertEqual(vt, VT_ARRAY | VT_BSTR)
        return urls.items

    def fetch(self, url):
        """GET with the account's credentials when the service asks for them, as a browser would."""
        try:
            with self.http.open(url) as reply:
                return reply.read()
        except urllib.error.HTTPError as refused:
            if refused.code != 401:
                raise
            realm = re.search(r'realm="([^"]*)"', refused.headers["WWW-Authenticate"]).group(1)
        credentials = base64.b64encode(f"{self.USER}:{self.PASSWORD}".encode()).decode()
        request = urllib.request.Request(url, headers={"Authorization": "Basic " + credentials,
                                                       "Auth-Realm": realm})
        with self.http.open(request) as reply:
            return reply.read()

    def test_pictures_are_served_as_sent(self):
        subject, text = "사진 두 장", "PNG 한 장과 JPEG 한 장입니다"
        contents, early = self.mms_contents(subject, text)
        width, height = 40, 24
        hr, converted = self.add_file(early, self.picture_file("alpha.png", png_picture(width, height, alpha=True)))
        self.assertEqual(hr, S_OK, f"0x{hr:08X}")
        jpeg = gray_jpeg(48, 32)
        self.assertEqual(self.add_stream(early, self.memory_stream(jpeg, rewind=False)), (S_OK, len(jpeg)))
        credit = self.credit()

        date, index = self.sent_transfer(self.send(contents))
        self.assertEqual(self.credit(), credit - 6, "one multimedia receiver")
        detail = ET.fromstring(self.fetch(f"{self.endpoint}/transfers/{self.USER}/detail/mms/{date}/{index}"))
        self.assertEqual([detail.findtext("subject"), detail.findtext("message")], [subject, text])
        urls = self.image_urls(date, index)

        self.assertEqual(len(urls), 2)
        served_png, served_stream = (self.fetch(url) for url in urls)
        self.assertEqual(served_stream, jpeg, "the stream's bytes, unchanged")
        self.assertEqual(served_png[:3], b"\xff\xd8\xff")
        self.assertEqual(len(served_png), converted)
        self.assertEqual(jpeg_frame(served_png), (0xC0, width, height, 3), "baseline, full size, in colour")

    def test_images_size_limit(self):
        contents, early = self.mms_contents("큰 사진", "한도까지")
        stream = self.memory_stream(gray_jpeg(64, 64, size=MAX_IMAGES_SIZE // 3))
        for _ in range(3):
            self.assertEqual(self.add_stream(early, stream), (S_OK, MAX_IMAGES_SIZE // 3))
        self.assertEqual(self.get(contents, "ImagesSize"), MAX_IMAGES_SIZE)
        credit = self.credit()
        date, index = self.sent_transfer(self.send(contents))
        self.assertEqual(len(self.image_urls(date, index)), 3, "the limit itself is allowed")
        self.assertEqual(self.credit(), credit - 6)

        small = gray_jpeg(8, 8)
        self.assertEqual(self.add_stream(early, self.memory_stream(small)), (S_OK, len(small)))
        self.assertEqual(self.get(contents, "ImagesSize"), MAX_IMAGES_SIZE + len(small))
        self.assertEqual(self.send(contents).hr, VEXA_E_FILEISTOOLARGE)
        self.assertEqual(self.credit(), credit - 6, "nothing was sent")


if __name__ == "__main__":
    SANDBOX = vexa_ctypes.take_option("--sandbox")
    vexa_ctypes.main()
