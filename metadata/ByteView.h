// A checked view over bytes from a file: every read says whether its bytes were there, instead of
// reading past the end. Offsets and lengths are taken as 64-bit numbers straight from the file and
// compared without adding them, so no offset near the top of the range can wrap round into the view.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace quillmark {

class TByteView {
public:
    constexpr TByteView() = default;
    constexpr TByteView(std::string_view bytes) : Bytes(bytes) {}

    constexpr std::size_t Size() const { return Bytes.size(); }
    constexpr bool Empty() const { return Bytes.empty(); }
    constexpr std::string_view Data() const { return Bytes; }

    // True when every byte of [offset, offset + length) lies inside the view.
    constexpr bool Holds(std::uint64_t offset, std::uint64_t length) const {
        return offset <= Bytes.size() && length <= Bytes.size() - offset;
    }

    constexpr std::optional<std::uint8_t> U8(std::uint64_t offset) const {
        if (!Holds(offset, 1)) return std::nullopt;
        return At(offset);
    }
    constexpr std::optional<std::uint16_t> U16(std::uint64_t offset, bool bigEndian) const {
        if (!Holds(offset, 2)) return std::nullopt;
        const unsigned b0 = At(offset), b1 = At(offset + 1);
        return static_cast<std::uint16_t>(bigEndian ? b0 << 8 | b1 : b1 << 8 | b0);
    }
    constexpr std::optional<std::uint32_t> U32(std::uint64_t offset, bool bigEndian) const {
        if (!Holds(offset, 4)) return std::nullopt;
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value = value << 8 | At(offset + static_cast<std::uint64_t>(bigEndian ? i : 3 - i));
        return value;
    }

    // The bytes [offset, offset + length) as a view of their own; nothing when any of them is missing.
    constexpr std::optional<TByteView> Sub(std::uint64_t offset, std::uint64_t length) const {
        if (!Holds(offset, length)) return std::nullopt;
        return TByteView(Bytes.substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(length)));
    }
    // As many of those bytes as there are: cut at the end of the view, empty when the offset lies past it.
    constexpr TByteView Clip(std::uint64_t offset, std::uint64_t length) const {
        if (offset >= Bytes.size()) return {};
        const std::uint64_t rest = Bytes.size() - offset;
        return TByteView(Bytes.substr(static_cast<std::size_t>(offset),
                                      static_cast<std::size_t>(length < rest ? length : rest)));
    }

private:
    constexpr std::uint8_t At(std::uint64_t offset) const {
        return static_cast<std::uint8_t>(Bytes[static_cast<std::size_t>(offset)]);
    }

    std::string_view Bytes;
};

} // namespace quillmark
