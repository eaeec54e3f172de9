#include "JpegMarkers.h"

#include <cstring>

namespace quillmark {

namespace {

// Markers that stand alone, without a length: TEM, RST0-RST7 and SOI.
bool StandsAlone(int code) {
    return code == 0x01 || (code >= 0xD0 && code <= 0xD8);
}

} // namespace

TReadAt ReadAtBytes(std::string_view bytes) {
    return [bytes](std::uint64_t offset, char* into, std::size_t n) -> std::size_t {
        const std::string_view part = TByteView(bytes).Clip(offset, n).Data();
        if (!part.empty()) std::memcpy(into, part.data(), part.size());
        return part.size();
    };
}

bool IsJpegFrameHeader(int code) {
    return code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC;
}

TJpegMarkers::TJpegMarkers(TReadAt read, int maxSteps) : ReadFile(std::move(read)), MaxSteps(maxSteps) {}

std::size_t TJpegMarkers::Read(std::uint64_t offset, char* into, std::size_t n) {
    const std::string_view window(Window, WindowLength);
    if (offset >= WindowStart && TByteView(window).Holds(offset - WindowStart, n)) {
        if (n > 0) std::memcpy(into, Window + (offset - WindowStart), n);
        return n;
    }
    return ReadFile(offset, into, n);
}

std::optional<std::uint8_t> TJpegMarkers::ByteAt(std::uint64_t offset) {
    if (offset < WindowStart || offset - WindowStart >= WindowLength) {
        WindowStart = offset;
        WindowLength = ReadFile(offset, Window, sizeof Window);
        if (WindowLength > sizeof Window) WindowLength = 0; // a reader that claims more than it was asked
    }
    return TByteView(std::string_view(Window, WindowLength)).U8(offset - WindowStart);
}

std::optional<TJpegMarker> TJpegMarkers::Next() {
    if (Ended != TJpegMarkerEnd::Walking) return std::nullopt;
    if (!Started) {
        Started = true;
        if (ByteAt(0) != 0xFF || ByteAt(1) != 0xD8) return Stop(TJpegMarkerEnd::NotJpeg);
        Pos = 2;
    }
    for (;;) {
        if (Steps >= MaxSteps) return Stop(TJpegMarkerEnd::TooManySteps);
        const auto first = ByteAt(Pos);
        if (!first) return Stop(TJpegMarkerEnd::EndOfData);
        if (*first != 0xFF) return Stop(TJpegMarkerEnd::NotAMarker);
        // Any number of 0xFF may come before the marker's code; the last of them begins the marker.
        std::uint64_t at = Pos + 1;
        std::optional<std::uint8_t> code;
        for (int fill = 0; (code = ByteAt(at)) == 0xFF; ++at)
            if (++fill > kMaxFillBytes) return Stop(TJpegMarkerEnd::TooManySteps);
        if (!code) return Stop(TJpegMarkerEnd::EndOfData);
        ++Steps;
        if (StandsAlone(*code)) {
            Pos = at + 1;
            continue;
        }
        if (*code == 0xD9) return Stop(TJpegMarkerEnd::EndOfImage);
        const auto hi = ByteAt(at + 1), lo = ByteAt(at + 2);
        if (!hi || !lo) return Stop(TJpegMarkerEnd::EndOfData);
        TJpegMarker marker;
        marker.Code = *code;
        marker.Offset = at - 1;
        marker.Length = std::uint32_t{*hi} << 8 | *lo;
        if (marker.Length < 2) return Stop(TJpegMarkerEnd::BadLength);
        Pos = at + 1 + marker.Length;
        if (marker.Code == 0xDA) Ended = TJpegMarkerEnd::ScanData;
        return marker;
    }
}

} // namespace quillmark
