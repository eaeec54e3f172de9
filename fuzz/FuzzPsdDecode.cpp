// The viewer's Photoshop decoder on any bytes: whole and for a strip cell, every input gives the merged
// picture, the thumbnail with the reason the merged picture failed, or a reason alone.
#include "PictureFormats.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (const QSize bound : {QSize(), QSize(64, 48)}) {
        const quillmark::TCodecPicture picture = quillmark::DecodePsd(bytes, bound);
        if (picture.Image.isNull() != !picture.Reason.isEmpty() && !picture.Embedded) __builtin_trap();
        if (picture.Embedded && (picture.Image.isNull() || picture.Reason.isEmpty())) __builtin_trap();
        // A merged picture has the document's size, or every so many of its pixels for a bound.
        if (!picture.Image.isNull() && !picture.Embedded &&
            (picture.Image.width() > picture.Size.width() || picture.Image.height() > picture.Size.height()))
            __builtin_trap();
    }
    return 0;
}
