#include "imaging/picture_format.h"

namespace vexa {

const char* PixbufLoaderName(PictureFormat format) {
    switch (format) {
        case PictureFormat::kPng:
            return "png";
        case PictureFormat::kJpeg:
            return "jpeg";
        case PictureFormat::kGif:
            return "gif";
        case PictureFormat::kBmp:
            return "bmp";
        case PictureFormat::kIco:
            return "ico";
        case PictureFormat::kTiff:
            return "tiff";
    }
    return "";
}

}  // namespace vexa
