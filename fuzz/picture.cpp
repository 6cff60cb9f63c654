// Pictures into image entries, as Contents takes them: from a file (AddImageFile: decoded, painted
// onto white when transparent, encoded as JPEG, the steps MakeEntryFromFile takes) and from a
// stream (AddJPEGImageStream: checked to decode, embedded unchanged). The JPEG made of a picture
// decodes at the picture's size; a stream's entry carries the stream's bytes; a file and a stream
// of the same bytes are taken alike; and whatever is taken passes the header checks that stand
// before the Windows decoder, so that both platforms take the same pictures.
#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include "fuzz_support.h"
#include "imaging/decoded_picture.h"
#include "imaging/image_entry.h"
#include "imaging/jpeg_encoding.h"
#include "imaging/picture_header.h"
#include "platform/unique_fd.h"
#include "vexa/com_ptr.h"

namespace {

using namespace vexa;

// A file in memory, opened by its path as any picture file is.
class MemoryFile {
public:
    MemoryFile() : fd_(memfd_create("picture", MFD_CLOEXEC)) {
        fuzz::Check(fd_.Get() >= 0, "a memory file can be made");
        path_ = "/proc/self/fd/" + std::to_string(fd_.Get());
    }

    const std::string& Hold(std::span<const uint8_t> bytes) {
        const bool written = ftruncate(fd_.Get(), 0) == 0 && pwrite(fd_.Get(), bytes.data(), bytes.size(),
                                                                    0) == static_cast<ssize_t>(bytes.size());
        fuzz::Check(written, "the memory file takes the picture");
        return path_;
    }

private:
    UniqueFd fd_;
    std::string path_;
};

// The picture from a file, the way AddImageFile takes it; nullopt when it is refused.
std::optional<ImageEntry> EntryFromFile(const std::string& path) {
    std::optional<DecodedPicture> picture = DecodePictureFile(path);
    if (!picture) return std::nullopt;
    const int width = picture->Width();
    const int height = picture->Height();
    const std::optional<JpegBytes> jpeg = EncodeJpeg(*picture);
    fuzz::Check(jpeg.has_value(), "a decoded picture encodes as JPEG");
    const std::optional<DecodedPicture> again = DecodePictureBytes(jpeg->View());
    fuzz::Check(again && again->Width() == width && again->Height() == height,
                "the JPEG made of a picture decodes at the picture's size");
    return ImageEntry{JpegDataUri(jpeg->View()), static_cast<LONG>(jpeg->View().size())};
}

std::optional<ImageEntry> EntryFromStream(std::span<const uint8_t> bytes) {
    ComPtr<IStream> stream;
    fuzz::Check(CreateStreamOnHGlobal(nullptr, 1, stream.Out()) == S_OK, "a memory stream can be made");
    ULONG written = 0;
    fuzz::Check(stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written) == S_OK,
                "the memory stream takes the picture");
    return MakeEntryFromStream(stream.Get());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using vexa::fuzz::Check;
    static MemoryFile file;
    const std::span<const uint8_t> bytes(data, size);
    const std::optional<ImageEntry> fromFile = EntryFromFile(file.Hold(bytes));
    const std::optional<ImageEntry> fromStream = EntryFromStream(bytes);
    if (fromStream)
        Check(fromStream->bytes == static_cast<LONG>(size), "a stream's picture travels unchanged");
    Check(!fromFile || fromStream, "what a file takes a stream of the same bytes takes");
    Check(!fromStream || fromFile, "what a stream takes a file of the same bytes takes");
    if (fromFile || fromStream) Check(PassesPictureChecks(bytes), "a picture taken passes the header checks");
    return 0;
}
