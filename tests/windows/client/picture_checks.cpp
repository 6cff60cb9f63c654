// Pictures as a host adds them: files the host saved with the system's encoders and a JPEG stream
// of its own go into an MMS, and the service hands each back as the JPEG the component sent.
#include <windows.h>

#include <cstdint>
#include <gdiplus.h>
#include <optional>
#include <vector>
#include <wincrypt.h>
#include <wininet.h>

#include "checks.h"
#include "com_support.h"

namespace host {

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kWidth = 24, kHeight = 16;
// The realm the module and the sandbox are built with (neither is given another in these checks).
constexpr wchar_t kRealm[] = L"vexa-messaging.example";

// GDI+ for the host's own pictures, started and stopped around them.
class GdiplusSession {
public:
    GdiplusSession() {
        const Gdiplus::GdiplusStartupInput input;
        started_ = Gdiplus::GdiplusStartup(&token_, &input, nullptr) == Gdiplus::Ok;
    }
    ~GdiplusSession() {
        if (started_) Gdiplus::GdiplusShutdown(token_);
    }
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;
    bool Started() const { return started_; }

private:
    ULONG_PTR token_ = 0;
    bool started_ = false;
};

std::optional<CLSID> EncoderOf(const wchar_t* mime) {
    using namespace Gdiplus::DllExports;
    UINT count = 0, bytes = 0;
    if (GdipGetImageEncodersSize(&count, &bytes) != Gdiplus::Ok) return std::nullopt;
    std::vector<Gdiplus::ImageCodecInfo> codecs(bytes / sizeof(Gdiplus::ImageCodecInfo) + 1);
    if (GdipGetImageEncoders(count, bytes, codecs.data()) != Gdiplus::Ok) return std::nullopt;
    for (UINT i = 0; i < count; ++i) {
        if (std::wstring_view(codecs[i].MimeType) == mime) return codecs[i].Clsid;
    }
    return std::nullopt;
}

// A kWidth × kHeight picture of colour bands saved as mime; false when it could not be.
bool SavePicture(const std::wstring& path, const wchar_t* mime) {
    using namespace Gdiplus::DllExports;
    std::vector<Gdiplus::ARGB> pixels(kWidth * kHeight);
    for (int i = 0; i < kWidth * kHeight; ++i) pixels[i] = 0xFF000000u | (i % kWidth * 10u) << 16 | 0x4080u;
    Gdiplus::GpBitmap* bitmap = nullptr;
    if (GdipCreateBitmapFromScan0(kWidth, kHeight, kWidth * 4, PixelFormat32bppARGB,
                                  reinterpret_cast<BYTE*>(pixels.data()), &bitmap) != Gdiplus::Ok)
        return false;
    const std::optional<CLSID> encoder = EncoderOf(mime);
    const bool saved =
        encoder && GdipSaveImageToFile(bitmap, path.c_str(), &*encoder, nullptr) == Gdiplus::Ok;
    GdipDisposeImage(bitmap);
    return saved;
}

// The width and height of a picture GDI+ decodes, or 0 × 0.
std::pair<UINT, UINT> SizeOf(const Bytes& picture) {
    using namespace Gdiplus::DllExports;
    std::pair<UINT, UINT> size{0, 0};
    ComPtr<IStream> stream;
    ULONG written = 0;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.GetAddressOf())) ||
        FAILED(stream->Write(picture.data(), static_cast<ULONG>(picture.size()), &written)))
        return size;
    Gdiplus::GpBitmap* bitmap = nullptr;
    if (GdipCreateBitmapFromStream(stream.Get(), &bitmap) != Gdiplus::Ok) return size;
    GdipGetImageWidth(bitmap, &size.first);
    GdipGetImageHeight(bitmap, &size.second);
    GdipDisposeImage(bitmap);
    return size;
}

Bytes FileBytes(const std::wstring& path) {
    Bytes bytes;
    const HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    LARGE_INTEGER size{};
    DWORD got = 0;
    if (GetFileSizeEx(file, &size)) {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        if (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr)) got = 0;
        bytes.resize(got);
    }
    CloseHandle(file);
    return bytes;
}

bool WriteBytes(const std::wstring& path, const Bytes& bytes) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    CloseHandle(file);
    return ok;
}

ComPtr<IStream> StreamOf(const Bytes& bytes) {
    ComPtr<IStream> stream;
    ULONG written = 0;
    if (SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, stream.GetAddressOf())) && !bytes.empty())
        stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    return stream;
}

std::wstring BasicAuthorization(const Account& account) {
    const std::string pair = Utf8(account.user + L":" + account.password);
    DWORD chars = 0;
    constexpr DWORD kFlags = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;
    const auto* data = reinterpret_cast<const BYTE*>(pair.data());
    CryptBinaryToStringW(data, static_cast<DWORD>(pair.size()), kFlags, nullptr, &chars);
    std::wstring text(chars, L'\0');
    CryptBinaryToStringW(data, static_cast<DWORD>(pair.size()), kFlags, text.data(), &chars);
    text.resize(chars);
    return L"Basic " + text;
}

// An image the service lists, fetched as the account; empty unless it answered 200.
Bytes Fetch(const std::wstring& url, const Account& account) {
    Bytes body;
    const HINTERNET session = InternetOpenW(L"host_client", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (!session) return body;
    const std::wstring headers =
        L"Authorization: " + BasicAuthorization(account) + L"\r\nAuth-Realm: " + kRealm + L"\r\n";
    const HINTERNET request =
        InternetOpenUrlW(session, url.c_str(), headers.c_str(), static_cast<DWORD>(headers.size()),
                         INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
    DWORD status = 0, length = sizeof status;
    if (request &&
        HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length, nullptr) &&
        status == 200) {
        char chunk[8192];
        DWORD got = 0;
        while (InternetReadFile(request, chunk, sizeof chunk, &got) && got > 0)
            body.insert(body.end(), chunk, chunk + got);
    }
    if (request) InternetCloseHandle(request);
    InternetCloseHandle(session);
    return body;
}

std::vector<std::wstring> Strings(const VARIANT& list) {
    std::vector<std::wstring> out;
    if (list.vt != (VT_ARRAY | VT_BSTR) || !list.parray) return out;
    LONG lower = 0, upper = -1;
    SafeArrayGetLBound(list.parray, 1, &lower);
    SafeArrayGetUBound(list.parray, 1, &upper);
    for (LONG i = lower; i <= upper; ++i) {
        Bstr item;
        SafeArrayGetElement(list.parray, &i, item.Out());
        out.push_back(item.Text());
    }
    return out;
}

struct Added {
    std::string name;
    long bytes = 0;  // as the Add call reported
    Bytes exact;     // what must come back byte for byte, when known to the host
    UINT width = 0, height = 0;
};

}  // namespace

void CheckPictures(const std::wstring& url, const Account& account) {
    const GdiplusSession gdiplus;
    Check("pictures: GDI+ starts in the host", gdiplus.Started());
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"vexa-pictures\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    // Wine's GIF encoder writes a frame without pixel data, which no decoder takes: the GIF is
    // written byte by byte (one pixel, transparent).
    const Bytes gif{'G',  'I', 'F', '8', '9',  'a',  1, 0, 1, 0,    0x80, 0, 0,    0xFF, 0xFF,
                    0xFF, 0,   0,   0,   0x21, 0xF9, 4, 1, 0, 0,    0,    0, 0x2C, 0,    0,
                    0,    0,   1,   0,   1,    0,    0, 2, 2, 0x44, 1,    0, 0x3B};
    const struct {
        const wchar_t* file;
        const wchar_t* mime;  // saved by the host's encoder, else written as gif
        UINT width, height;
    } pictures[] = {{L"bands.png", L"image/png", kWidth, kHeight},
                    {L"bands.jpg", L"image/jpeg", kWidth, kHeight},
                    {L"pixel.gif", nullptr, 1, 1},
                    {L"bands.bmp", L"image/bmp", kWidth, kHeight},
                    {L"사진.png", L"image/png", kWidth, kHeight}};

    ComPtr<IMessage> message;
    CheckHr("pictures: Message",
            CoCreateInstance(CLSID_Message, nullptr, CLSCTX_INPROC_SERVER, IID_IMessage,
                             reinterpret_cast<void**>(message.GetAddressOf())),
            S_OK);
    ComPtr<IDispatch> listDisp, contentsDisp, resultsDisp;
    if (!message || FAILED(message->CreateReceivers(listDisp.GetAddressOf())) ||
        FAILED(message->CreateContents(contentsDisp.GetAddressOf())))
        return;
    ComPtr<IContents> contents = Query<IContents>("pictures: IContents", contentsDisp.Get());
    if (!contents) return;
    std::vector<Added> added;
    for (const auto& p : pictures) {
        const std::wstring path = folder + p.file;
        const std::string name = "AddImageFile " + Utf8(p.file);
        Check(name + ": saved by the host", p.mime ? SavePicture(path, p.mime) : WriteBytes(path, gif));
        long bytes = 0;
        CheckHr(name, contents->AddImageFile(Bstr(path).Get(), &bytes), S_OK);
        Check(name + ": a byte count", bytes > 0, "got " + std::to_string(bytes));
        added.push_back({name, bytes, {}, p.width, p.height});
    }
    const Bytes jpeg = FileBytes(folder + L"bands.jpg");
    long streamBytes = 0;
    CheckHr("AddJPEGImageStream", contents->AddJPEGImageStream(StreamOf(jpeg).Get(), &streamBytes), S_OK);
    CheckEqual("AddJPEGImageStream: the stream's size", streamBytes, static_cast<long>(jpeg.size()));
    added.push_back({"AddJPEGImageStream", streamBytes, jpeg, kWidth, kHeight});

    // Refused: nothing added, a zero count and VEXA_E_NOTADDED.
    long refusedBytes = -1;
    CheckHr("AddImageFile of a missing file",
            contents->AddImageFile(Bstr(folder + L"missing.png").Get(), &refusedBytes), VEXA_E_NOTADDED);
    CheckEqual("AddImageFile of a missing file: count", refusedBytes, 0L);
    const Bytes noise(500, 0x5A);
    refusedBytes = -1;
    CheckHr("AddJPEGImageStream of no picture",
            contents->AddJPEGImageStream(StreamOf(noise).Get(), &refusedBytes), VEXA_E_NOTADDED);
    CheckEqual("AddJPEGImageStream of no picture: count", refusedBytes, 0L);
    long total = 0;
    for (const Added& a : added) total += a.bytes;
    CheckProp("pictures: ImageCount", contents.Get(), &IContents::get_ImageCount,
              static_cast<long>(added.size()));
    CheckProp("pictures: ImagesSize", contents.Get(), &IContents::get_ImagesSize, total);

    // The MMS through the service, and its pictures fetched back from where its detail says.
    if (ComPtr<IServiceEndpoint> endpoint =
            Query<IServiceEndpoint>("pictures: IServiceEndpoint", message.Get()))
        endpoint->SetEndpoint(Bstr(url).Get());
    message->SetAccountInfo(Bstr(account.user).Get(), Bstr(account.password).Get());
    ComPtr<IReceivers> list = Query<IReceivers>("pictures: IReceivers", listDisp.Get());
    if (!list) return;
    list->AddDirect(Bstr(L"010-1234-5678").Get(), Bstr(L"사진").Get(), VEXA_DIRECT, 0);
    contents->put_Type(VEXA_MESSAGE_TYPE_MMS);
    contents->put_Subject(Bstr(L"사진").Get());
    contents->put_Message(Bstr(L"사진을 보냅니다").Get());
    CheckHr("pictures: Send an MMS",
            message->Send(Bstr(L"02-123-4567").Get(), listDisp.Get(), contentsDisp.Get(),
                          resultsDisp.GetAddressOf()),
            S_OK);
    ComPtr<ISendResults> results = Query<ISendResults>("pictures: ISendResults", resultsDisp.Get());
    if (!results) return;
    const std::wstring index = Read("pictures: Index", results.Get(), &ISendResults::get_Index);
    SYSTEMTIME now{};
    GetLocalTime(&now);
    ComPtr<IDispatch> detailDisp;
    CheckHr("pictures: RequestLogDetail",
            message->RequestLogDetail(now.wYear, now.wMonth, Bstr(index).Get(), VEXA_MESSAGE_TYPE_MMS,
                                      detailDisp.GetAddressOf()),
            S_OK);
    ComPtr<ILogDetails3> detail = Query<ILogDetails3>("pictures: ILogDetails3", detailDisp.Get());
    if (!detail) return;
    Variant listed;
    CheckHr("pictures: ImageURLs", detail->get_ImageURLs(listed.Out()), S_OK);
    const std::vector<std::wstring> urls = Strings(listed.Get());
    CheckEqual("pictures: one URL per picture", static_cast<long>(urls.size()),
               static_cast<long>(added.size()));
    for (size_t i = 0; i < urls.size() && i < added.size(); ++i) {
        const Bytes back = Fetch(urls[i], account);
        const std::string name = added[i].name + ": fetched back";
        if (!added[i].exact.empty()) {
            Check(name + " byte for byte", back == added[i].exact, std::to_string(back.size()) + " bytes");
            continue;
        }
        const std::pair<UINT, UINT> size = SizeOf(back);
        Check(name + " as a JPEG of the count's length and the picture's size",
              back.size() == static_cast<size_t>(added[i].bytes) && back.size() > 3 && back[0] == 0xFF &&
                  back[1] == 0xD8 && size.first == added[i].width && size.second == added[i].height,
              std::to_string(back.size()) + " bytes, " + std::to_string(size.first) + "x" +
                  std::to_string(size.second));
    }
}

}  // namespace host
