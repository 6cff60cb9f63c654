#include "automation/memory_stream.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

#include "automation/stream_reading.h"
#include "vexa/com_ptr.h"

namespace vexa {
namespace {

ComPtr<IStream> NewStream() {
    ComPtr<IStream> s;
    EXPECT_EQ(CreateStreamOnHGlobal(nullptr, 1, s.Out()), S_OK);
    return s;
}

void WriteText(IStream* s, std::string_view text) {
    ULONG written = 0;
    ASSERT_EQ(s->Write(text.data(), static_cast<ULONG>(text.size()), &written), S_OK);
    ASSERT_EQ(written, text.size());
}

std::string ReadText(IStream* s, ULONG max) {
    std::string out(max, '?');
    ULONG got = 0;
    EXPECT_EQ(s->Read(out.data(), max, &got), S_OK);
    out.resize(got);
    return out;
}

uint64_t SeekTo(IStream* s, int64_t move, DWORD origin) {
    LARGE_INTEGER li;
    li.QuadPart = move;
    ULARGE_INTEGER pos;
    pos.QuadPart = 0xDEAD;
    EXPECT_EQ(s->Seek(li, origin, &pos), S_OK);
    return pos.QuadPart;
}

uint64_t Position(IStream* s) { return SeekTo(s, 0, STREAM_SEEK_CUR); }

uint64_t Size(IStream* s) {
    STATSTG st;
    EXPECT_EQ(s->Stat(&st, STATFLAG_NONAME), S_OK);
    return st.cbSize.QuadPart;
}

TEST(MemoryStreamTest, CreationArguments) {
    IStream* s = reinterpret_cast<IStream*>(0x1);
    int handle = 0;
    EXPECT_EQ(CreateStreamOnHGlobal(&handle, 1, &s), E_INVALIDARG);
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(CreateStreamOnHGlobal(nullptr, 1, nullptr), E_INVALIDARG);

    ComPtr<IStream> stream = NewStream();
    ASSERT_TRUE(stream);
    EXPECT_EQ(Size(stream.Get()), 0u);
    ComPtr<ISequentialStream> seq;
    EXPECT_EQ(stream.As(IID_ISequentialStream, seq), S_OK);
    ComPtr<IDispatch> disp;
    EXPECT_EQ(stream.As(IID_IDispatch, disp), E_NOINTERFACE);
}

TEST(MemoryStreamTest, ReadsWhatIsThereAndWritesGrow) {
    ComPtr<IStream> s = NewStream();
    WriteText(s.Get(), "hello world");
    EXPECT_EQ(Position(s.Get()), 11u);
    EXPECT_EQ(SeekTo(s.Get(), 0, STREAM_SEEK_SET), 0u);
    EXPECT_EQ(ReadText(s.Get(), 5), "hello");
    // A short read is still a success.
    EXPECT_EQ(ReadText(s.Get(), 100), " world");
    EXPECT_EQ(ReadText(s.Get(), 100), "");

    // The read count is optional.
    SeekTo(s.Get(), 0, STREAM_SEEK_SET);
    char c = 0;
    EXPECT_EQ(s->Read(&c, 1, nullptr), S_OK);
    EXPECT_EQ(c, 'h');
    EXPECT_EQ(s->Read(nullptr, 1, nullptr), STG_E_INVALIDPOINTER);
    EXPECT_EQ(s->Write(nullptr, 1, nullptr), STG_E_INVALIDPOINTER);

    // Overwriting in the middle keeps the size; writing over the end grows it.
    EXPECT_EQ(s->Write("E", 1, nullptr), S_OK);
    SeekTo(s.Get(), -2, STREAM_SEEK_END);
    WriteText(s.Get(), "LD!");
    EXPECT_EQ(Size(s.Get()), 12u);
    SeekTo(s.Get(), 0, STREAM_SEEK_SET);
    EXPECT_EQ(ReadText(s.Get(), 100), "hEllo worLD!");
}

TEST(MemoryStreamTest, SeekOrigins) {
    ComPtr<IStream> s = NewStream();
    WriteText(s.Get(), "0123456789");
    struct Case {
        int64_t move;
        DWORD origin;
        uint64_t expected;
    };
    const Case cases[] = {
        {3, STREAM_SEEK_SET, 3},  {2, STREAM_SEEK_CUR, 5},   {-1, STREAM_SEEK_CUR, 4},
        {0, STREAM_SEEK_END, 10}, {-10, STREAM_SEEK_END, 0}, {25, STREAM_SEEK_END, 35},
    };
    for (const Case& c : cases) EXPECT_EQ(SeekTo(s.Get(), c.move, c.origin), c.expected) << c.move;

    // A failed seek leaves the position where it was.
    SeekTo(s.Get(), 4, STREAM_SEEK_SET);
    struct Bad {
        int64_t move;
        DWORD origin;
    };
    const Bad bad[] = {
        {-1, STREAM_SEEK_SET},
        {-5, STREAM_SEEK_CUR},
        {-11, STREAM_SEEK_END},
        {std::numeric_limits<int64_t>::max(), STREAM_SEEK_CUR},
        {std::numeric_limits<int64_t>::min(), STREAM_SEEK_END},
        {0, 3},
    };
    for (const Bad& b : bad) {
        LARGE_INTEGER li;
        li.QuadPart = b.move;
        EXPECT_EQ(s->Seek(li, b.origin, nullptr), STG_E_INVALIDFUNCTION) << b.move << " from " << b.origin;
        EXPECT_EQ(Position(s.Get()), 4u);
    }
}

TEST(MemoryStreamTest, WritingPastTheEndZeroFillsTheGap) {
    ComPtr<IStream> s = NewStream();
    WriteText(s.Get(), "ab");
    SeekTo(s.Get(), 3, STREAM_SEEK_END);
    EXPECT_EQ(Size(s.Get()), 2u);
    EXPECT_EQ(ReadText(s.Get(), 10), "");
    WriteText(s.Get(), "z");
    SeekTo(s.Get(), 0, STREAM_SEEK_SET);
    EXPECT_EQ(ReadText(s.Get(), 10), std::string("ab\0\0\0z", 6));

    // Far beyond anything memory can hold: refused, nothing changes.
    SeekTo(s.Get(), std::numeric_limits<int64_t>::max(), STREAM_SEEK_SET);
    ULONG written = 7;
    EXPECT_EQ(s->Write("x", 1, &written), STG_E_MEDIUMFULL);
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(Size(s.Get()), 6u);
}

TEST(MemoryStreamTest, SetSizeKeepsThePosition) {
    ComPtr<IStream> s = NewStream();
    WriteText(s.Get(), "abcdef");
    SeekTo(s.Get(), 4, STREAM_SEEK_SET);

    ULARGE_INTEGER size;
    size.QuadPart = 2;
    ASSERT_EQ(s->SetSize(size), S_OK);
    EXPECT_EQ(Size(s.Get()), 2u);
    EXPECT_EQ(Position(s.Get()), 4u);
    EXPECT_EQ(ReadText(s.Get(), 10), "");

    size.QuadPart = 5;
    ASSERT_EQ(s->SetSize(size), S_OK);
    EXPECT_EQ(Position(s.Get()), 4u);
    SeekTo(s.Get(), 0, STREAM_SEEK_SET);
    EXPECT_EQ(ReadText(s.Get(), 10), std::string("ab\0\0\0", 5));

    size.QuadPart = std::numeric_limits<uint64_t>::max();
    EXPECT_EQ(s->SetSize(size), STG_E_MEDIUMFULL);
    EXPECT_EQ(Size(s.Get()), 5u);
}

TEST(MemoryStreamTest, CloneSharesBytesWithItsOwnPosition) {
    ComPtr<IStream> original = NewStream();
    WriteText(original.Get(), "abcdef");
    SeekTo(original.Get(), 2, STREAM_SEEK_SET);

    ComPtr<IStream> clone;
    ASSERT_EQ(original->Clone(clone.Out()), S_OK);
    EXPECT_EQ(Position(clone.Get()), 2u);
    EXPECT_EQ(ReadText(clone.Get(), 2), "cd");
    EXPECT_EQ(Position(original.Get()), 2u);

    WriteText(clone.Get(), "XYZ");
    EXPECT_EQ(Size(original.Get()), 7u);
    EXPECT_EQ(ReadText(original.Get(), 10), "cdXYZ");

    // The bytes live as long as any stream over them.
    original.Reset();
    SeekTo(clone.Get(), 0, STREAM_SEEK_SET);
    EXPECT_EQ(ReadText(clone.Get(), 10), "abcdXYZ");
    EXPECT_EQ(clone->Clone(nullptr), STG_E_INVALIDPOINTER);
}

TEST(MemoryStreamTest, CopyToWritesFromThePositionAndCounts) {
    ComPtr<IStream> source = NewStream();
    WriteText(source.Get(), "0123456789");
    SeekTo(source.Get(), 3, STREAM_SEEK_SET);
    ComPtr<IStream> target = NewStream();

    ULARGE_INTEGER cb, read, written;
    cb.QuadPart = 4;
    ASSERT_EQ(source->CopyTo(target.Get(), cb, &read, &written), S_OK);
    EXPECT_EQ(read.QuadPart, 4u);
    EXPECT_EQ(written.QuadPart, 4u);
    EXPECT_EQ(Position(source.Get()), 7u);

    // Asking for more than is left copies what is left; the counts are optional.
    cb.QuadPart = std::numeric_limits<uint64_t>::max();
    ASSERT_EQ(source->CopyTo(target.Get(), cb, nullptr, nullptr), S_OK);
    SeekTo(target.Get(), 0, STREAM_SEEK_SET);
    EXPECT_EQ(ReadText(target.Get(), 100), "3456789");
    EXPECT_EQ(source->CopyTo(nullptr, cb, &read, &written), STG_E_INVALIDPOINTER);
}

TEST(MemoryStreamTest, CopyToIntoItsOwnCloneAppendsSafely) {
    // The target grows the very bytes being copied; more than one chunk, so they move meanwhile.
    ComPtr<IStream> s = NewStream();
    std::string text(10000, '\0');
    for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);
    WriteText(s.Get(), text);
    ComPtr<IStream> clone;
    ASSERT_EQ(s->Clone(clone.Out()), S_OK);
    SeekTo(s.Get(), 0, STREAM_SEEK_SET);

    ULARGE_INTEGER cb, read, written;
    cb.QuadPart = text.size();
    ASSERT_EQ(s->CopyTo(clone.Get(), cb, &read, &written), S_OK);
    EXPECT_EQ(read.QuadPart, text.size());
    EXPECT_EQ(written.QuadPart, text.size());
    SeekTo(s.Get(), 0, STREAM_SEEK_SET);
    EXPECT_EQ(ReadText(s.Get(), 30000), text + text);
}

TEST(MemoryStreamTest, StatAndTheNoOpMembers) {
    ComPtr<IStream> s = NewStream();
    WriteText(s.Get(), "abc");
    STATSTG st;
    std::memset(&st, 0xAB, sizeof st);
    ASSERT_EQ(s->Stat(&st, STATFLAG_DEFAULT), S_OK);
    EXPECT_EQ(st.pwcsName, nullptr);
    EXPECT_EQ(st.type, STGTY_STREAM);
    EXPECT_EQ(st.cbSize.QuadPart, 3u);
    EXPECT_EQ(st.grfMode, STGM_READWRITE);
    EXPECT_EQ(st.clsid, IID_NULL);
    EXPECT_EQ(s->Stat(nullptr, STATFLAG_DEFAULT), STG_E_INVALIDPOINTER);

    ULARGE_INTEGER offset, cb;
    offset.QuadPart = 0;
    cb.QuadPart = 1;
    EXPECT_EQ(s->LockRegion(offset, cb, 0), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(s->UnlockRegion(offset, cb, 0), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(s->Commit(0), S_OK);
    EXPECT_EQ(s->Revert(), S_OK);
    EXPECT_EQ(Size(s.Get()), 3u);
}

// A host's stream that hands its bytes out a few at a time, or misbehaves in a chosen way.
class HostStream final : public IStream {
public:
    enum class Fault { None, FailSecondRead, OverReport };

    HostStream(std::vector<uint8_t> bytes, Fault fault) : bytes_(std::move(bytes)), fault_(fault) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* pcbRead) override {
        if (!pv || !pcbRead) return STG_E_INVALIDPOINTER;
        if (++reads_ == 2 && fault_ == Fault::FailSecondRead) return E_ACCESSDENIED;
        if (fault_ == Fault::OverReport) {
            *pcbRead = cb + 1;
            return S_OK;
        }
        const size_t n = std::min<size_t>({cb, 3, bytes_.size() - at_});
        std::memcpy(pv, bytes_.data() + at_, n);
        at_ += n;
        *pcbRead = static_cast<ULONG>(n);
        return n < cb ? S_FALSE : S_OK;
    }
    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

private:
    std::vector<uint8_t> bytes_;
    Fault fault_;
    size_t at_ = 0;
    int reads_ = 0;
};

TEST(ReadWholeStreamTest, ReadsFromThePositionToTheEnd) {
    ComPtr<IStream> s = NewStream();
    std::string text(200000, 'q');
    text.back() = '!';
    WriteText(s.Get(), text);
    SeekTo(s.Get(), 1, STREAM_SEEK_SET);
    std::vector<uint8_t> out = {1, 2, 3};
    ASSERT_EQ(ReadWholeStream(s.Get(), out, text.size()), S_OK);
    EXPECT_EQ(std::string(out.begin(), out.end()), text.substr(1));
}

TEST(ReadWholeStreamTest, LimitIsInclusive) {
    const std::vector<uint8_t> bytes = {1, 2, 3, 4, 5, 6, 7};
    struct Case {
        size_t limit;
        HRESULT expected;
    };
    for (const Case& c : {Case{7, S_OK}, Case{6, E_FAIL}, Case{0, E_FAIL}}) {
        SCOPED_TRACE(c.limit);
        HostStream host(bytes, HostStream::Fault::None);
        std::vector<uint8_t> out = {9};
        EXPECT_EQ(ReadWholeStream(&host, out, c.limit), c.expected);
        EXPECT_EQ(out, c.expected == S_OK ? bytes : std::vector<uint8_t>{});
    }

    ComPtr<IStream> empty = NewStream();
    std::vector<uint8_t> out = {9};
    EXPECT_EQ(ReadWholeStream(empty.Get(), out, 0), S_OK);
    EXPECT_TRUE(out.empty());
}

TEST(ReadWholeStreamTest, FaultyStreams) {
    const std::vector<uint8_t> bytes = {1, 2, 3, 4, 5, 6, 7};
    std::vector<uint8_t> out;
    HostStream failing(bytes, HostStream::Fault::FailSecondRead);
    EXPECT_EQ(ReadWholeStream(&failing, out, 100), E_ACCESSDENIED);
    EXPECT_TRUE(out.empty());
    // A stream claiming more than was asked for is not believed.
    HostStream lying(bytes, HostStream::Fault::OverReport);
    EXPECT_EQ(ReadWholeStream(&lying, out, 100), E_FAIL);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(ReadWholeStream(nullptr, out, 100), E_POINTER);
}

}  // namespace
}  // namespace vexa
