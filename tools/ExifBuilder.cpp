#include "ExifBuilder.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <numbers>
#include <stdexcept>

#include <jpeglib.h>

namespace quillmark::craft {

namespace {

uint32_t Align2(uint32_t pos) {
    return pos + (pos & 1u);
}

void Poke16(std::string& out, uint32_t pos, uint16_t v, bool bigEndian) {
    const auto hi = static_cast<char>(v >> 8);
    const auto lo = static_cast<char>(v & 0xFF);
    out[pos] = bigEndian ? hi : lo;
    out[pos + 1] = bigEndian ? lo : hi;
}

void Poke32(std::string& out, uint32_t pos, uint32_t v, bool bigEndian) {
    for (int i = 0; i < 4; ++i) {
        const int shift = bigEndian ? 24 - 8 * i : 8 * i;
        out[pos + i] = static_cast<char>((v >> shift) & 0xFF);
    }
}

void PokeBytes(std::string& out, uint32_t pos, const std::string& bytes) {
    std::copy(bytes.begin(), bytes.end(), out.begin() + pos);
}

std::string BigEndian16(uint16_t v) {
    return U16(v, true);
}

} // namespace

std::string U16(uint16_t v, bool bigEndian) {
    std::string out(2, '\0');
    Poke16(out, 0, v, bigEndian);
    return out;
}

std::string U32(uint32_t v, bool bigEndian) {
    std::string out(4, '\0');
    Poke32(out, 0, v, bigEndian);
    return out;
}

// ---------------------------------------------------------------------------------------------
// TiffBlock

TiffBlock::TiffBlock(bool bigEndian) : bigEndian_(bigEndian) {
    ifds_.emplace_back();
}

int TiffBlock::AddIfd() {
    ifds_.emplace_back();
    return static_cast<int>(ifds_.size()) - 1;
}

TiffBlock::Ifd& TiffBlock::At(int ifd) {
    if (ifd < 0 || ifd >= static_cast<int>(ifds_.size())) throw std::out_of_range("no such IFD");
    return ifds_[static_cast<size_t>(ifd)];
}

const TiffBlock::Ifd& TiffBlock::At(int ifd) const {
    if (ifd < 0 || ifd >= static_cast<int>(ifds_.size())) throw std::out_of_range("no such IFD");
    return ifds_[static_cast<size_t>(ifd)];
}

TiffBlock& TiffBlock::Add(int ifd, Entry entry) {
    At(ifd).entries.push_back(std::move(entry));
    return *this;
}

TiffBlock& TiffBlock::AddBytes(int ifd, uint16_t tag, uint16_t type, uint32_t count, std::string bytes) {
    Entry e;
    e.tag = tag;
    e.type = type;
    e.count = count;
    e.kind = Kind::Bytes;
    e.bytes = std::move(bytes);
    return Add(ifd, std::move(e));
}

void TiffBlock::Put16(std::string& out, uint16_t v) const {
    out += U16(v, bigEndian_);
}
void TiffBlock::Put32(std::string& out, uint32_t v) const {
    out += U32(v, bigEndian_);
}

TiffBlock& TiffBlock::Byte(int ifd, uint16_t tag, std::vector<uint8_t> v) {
    return AddBytes(ifd, tag, kByte, static_cast<uint32_t>(v.size()), std::string(v.begin(), v.end()));
}

TiffBlock& TiffBlock::SByte(int ifd, uint16_t tag, std::vector<int8_t> v) {
    std::string bytes;
    for (int8_t x : v)
        bytes += static_cast<char>(x);
    return AddBytes(ifd, tag, kSByte, static_cast<uint32_t>(v.size()), std::move(bytes));
}

TiffBlock& TiffBlock::Ascii(int ifd, uint16_t tag, std::string text, bool addNul) {
    if (addNul) text += '\0';
    const auto count = static_cast<uint32_t>(text.size());
    return AddBytes(ifd, tag, kAscii, count, std::move(text));
}

TiffBlock& TiffBlock::Short(int ifd, uint16_t tag, std::vector<uint16_t> v) {
    std::string bytes;
    for (uint16_t x : v)
        Put16(bytes, x);
    return AddBytes(ifd, tag, kShort, static_cast<uint32_t>(v.size()), std::move(bytes));
}

TiffBlock& TiffBlock::SShort(int ifd, uint16_t tag, std::vector<int16_t> v) {
    std::string bytes;
    for (int16_t x : v)
        Put16(bytes, static_cast<uint16_t>(x));
    return AddBytes(ifd, tag, kSShort, static_cast<uint32_t>(v.size()), std::move(bytes));
}

TiffBlock& TiffBlock::Long(int ifd, uint16_t tag, std::vector<uint32_t> v) {
    std::string bytes;
    for (uint32_t x : v)
        Put32(bytes, x);
    return AddBytes(ifd, tag, kLong, static_cast<uint32_t>(v.size()), std::move(bytes));
}

TiffBlock& TiffBlock::SLong(int ifd, uint16_t tag, std::vector<int32_t> v) {
    std::string bytes;
    for (int32_t x : v)
        Put32(bytes, static_cast<uint32_t>(x));
    return AddBytes(ifd, tag, kSLong, static_cast<uint32_t>(v.size()), std::move(bytes));
}

TiffBlock& TiffBlock::Rational(int ifd, uint16_t tag, std::vector<std::pair<uint32_t, uint32_t>> v) {
    std::string bytes;
    for (auto [num, den] : v) {
        Put32(bytes, num);
        Put32(bytes, den);
    }
    return AddBytes(ifd, tag, kRational, static_cast<uint32_t>(v.size()), std::move(bytes));
}

TiffBlock& TiffBlock::SRational(int ifd, uint16_t tag, std::vector<std::pair<int32_t, int32_t>> v) {
    std::string bytes;
    for (auto [num, den] : v) {
        Put32(bytes, static_cast<uint32_t>(num));
        Put32(bytes, static_cast<uint32_t>(den));
    }
    return AddBytes(ifd, tag, kSRational, static_cast<uint32_t>(v.size()), std::move(bytes));
}

TiffBlock& TiffBlock::Float(int ifd, uint16_t tag, std::vector<float> v) {
    std::string bytes;
    for (float x : v)
        Put32(bytes, std::bit_cast<uint32_t>(x));
    return AddBytes(ifd, tag, kFloat, static_cast<uint32_t>(v.size()), std::move(bytes));
}

TiffBlock& TiffBlock::Double(int ifd, uint16_t tag, std::vector<double> v) {
    std::string bytes;
    for (double x : v) {
        const auto bits = std::bit_cast<uint64_t>(x);
        const auto hi = static_cast<uint32_t>(bits >> 32);
        const auto lo = static_cast<uint32_t>(bits & 0xFFFFFFFFu);
        Put32(bytes, bigEndian_ ? hi : lo);
        Put32(bytes, bigEndian_ ? lo : hi);
    }
    return AddBytes(ifd, tag, kDouble, static_cast<uint32_t>(v.size()), std::move(bytes));
}

TiffBlock& TiffBlock::Undefined(int ifd, uint16_t tag, std::string bytes) {
    const auto count = static_cast<uint32_t>(bytes.size());
    return AddBytes(ifd, tag, kUndefined, count, std::move(bytes));
}

TiffBlock& TiffBlock::XpText(int ifd, uint16_t tag, std::string_view utf8) {
    std::string bytes = Utf16Le(utf8, true);
    const auto count = static_cast<uint32_t>(bytes.size());
    return AddBytes(ifd, tag, kByte, count, std::move(bytes));
}

TiffBlock& TiffBlock::UndefinedAt(int ifd, uint16_t tag, std::function<std::string(uint32_t)> make) {
    Entry e;
    e.tag = tag;
    e.type = kUndefined;
    e.kind = Kind::Deferred;
    e.make = std::move(make);
    return Add(ifd, std::move(e));
}

TiffBlock& TiffBlock::Raw(int ifd, uint16_t tag, uint16_t type, uint32_t count, std::string valueBytes) {
    return AddBytes(ifd, tag, type, count, std::move(valueBytes));
}

TiffBlock& TiffBlock::RawField(int ifd, uint16_t tag, uint16_t type, uint32_t count, uint32_t field) {
    Entry e;
    e.tag = tag;
    e.type = type;
    e.count = count;
    e.kind = Kind::Field;
    e.field = field;
    return Add(ifd, std::move(e));
}

TiffBlock& TiffBlock::Link(int ifd, uint16_t tag, int childIfd) {
    At(childIfd); // fail early on a bad index
    Entry e;
    e.tag = tag;
    e.type = kLong;
    e.count = 1;
    e.kind = Kind::ChildLink;
    e.child = childIfd;
    return Add(ifd, std::move(e));
}

TiffBlock& TiffBlock::LinkTrailer(int ifd, uint16_t tag, uint32_t delta) {
    Entry e;
    e.tag = tag;
    e.type = kLong;
    e.count = 1;
    e.kind = Kind::TrailerLink;
    e.field = delta;
    return Add(ifd, std::move(e));
}

TiffBlock& TiffBlock::Next(int ifd, int nextIfd) {
    At(nextIfd);
    Ifd& d = At(ifd);
    d.next = NextKind::ToIfd;
    d.nextIfd = nextIfd;
    return *this;
}

TiffBlock& TiffBlock::NextRaw(int ifd, uint32_t offset) {
    Ifd& d = At(ifd);
    d.next = NextKind::RawOffset;
    d.nextRaw = offset;
    return *this;
}

TiffBlock& TiffBlock::CountOverride(int ifd, uint16_t count) {
    Ifd& d = At(ifd);
    d.hasCountOverride = true;
    d.countOverride = count;
    return *this;
}

TiffBlock& TiffBlock::Before(int ifd, std::string bytes) {
    At(ifd).before = std::move(bytes);
    return *this;
}

TiffBlock& TiffBlock::Trailer(std::string bytes) {
    trailer_ += bytes;
    return *this;
}

TiffBlock& TiffBlock::Magic(uint16_t magic) {
    magic_ = magic;
    return *this;
}

TiffBlock& TiffBlock::FirstIfdOffsetRaw(uint32_t offset) {
    hasFirstIfdRaw_ = true;
    firstIfdRaw_ = offset;
    return *this;
}

TiffBlock& TiffBlock::WithoutHeader() {
    header_ = false;
    return *this;
}

TiffBlock& TiffBlock::Origin(uint32_t origin) {
    origin_ = origin;
    return *this;
}

TiffBlock::Layout TiffBlock::ComputeLayout() const {
    Layout layout;
    uint32_t pos = header_ ? 8 : 0;
    for (const Ifd& ifd : ifds_) {
        pos = Align2(pos) + static_cast<uint32_t>(ifd.before.size());
        const uint32_t start = pos;
        layout.ifdPos.push_back(start);
        const auto n = static_cast<uint32_t>(ifd.entries.size());
        pos += 2 + 12 * n + 4;
        std::vector<uint32_t> valuePos;
        std::vector<uint32_t> valueSize;
        for (uint32_t j = 0; j < n; ++j) {
            const Entry& e = ifd.entries[j];
            uint32_t size = 0;
            if (e.kind == Kind::Bytes) size = static_cast<uint32_t>(e.bytes.size());
            if (e.kind == Kind::Deferred) size = static_cast<uint32_t>(e.make(origin_).size());
            const bool outside = (e.kind == Kind::Bytes || e.kind == Kind::Deferred) && size > 4;
            if (outside) {
                pos = Align2(pos);
                valuePos.push_back(pos);
                pos += size;
            } else {
                valuePos.push_back(start + 2 + 12 * j + 8);
            }
            valueSize.push_back(size);
        }
        layout.valuePos.push_back(std::move(valuePos));
        layout.valueSize.push_back(std::move(valueSize));
    }
    layout.trailerPos = Align2(pos);
    layout.total = layout.trailerPos + static_cast<uint32_t>(trailer_.size());
    return layout;
}

std::string TiffBlock::Build() const {
    const Layout layout = ComputeLayout();
    std::string out(layout.total, '\0');
    if (header_) {
        out[0] = out[1] = bigEndian_ ? 'M' : 'I';
        Poke16(out, 2, magic_, bigEndian_);
        Poke32(out, 4, hasFirstIfdRaw_ ? firstIfdRaw_ : origin_ + layout.ifdPos[0], bigEndian_);
    }
    for (size_t i = 0; i < ifds_.size(); ++i) {
        const Ifd& ifd = ifds_[i];
        const uint32_t start = layout.ifdPos[i];
        PokeBytes(out, start - static_cast<uint32_t>(ifd.before.size()), ifd.before);
        const auto n = static_cast<uint32_t>(ifd.entries.size());
        Poke16(out, start, ifd.hasCountOverride ? ifd.countOverride : static_cast<uint16_t>(n), bigEndian_);
        for (uint32_t j = 0; j < n; ++j) {
            const Entry& e = ifd.entries[j];
            const uint32_t at = start + 2 + 12 * j;
            const uint32_t valuePos = layout.valuePos[i][j];
            const uint32_t size = layout.valueSize[i][j];
            Poke16(out, at, e.tag, bigEndian_);
            Poke16(out, at + 2, e.type, bigEndian_);
            Poke32(out, at + 4, e.kind == Kind::Deferred ? size : e.count, bigEndian_);
            switch (e.kind) {
            case Kind::Field:
                Poke32(out, at + 8, e.field, bigEndian_);
                break;
            case Kind::ChildLink:
                Poke32(out, at + 8, origin_ + layout.ifdPos[static_cast<size_t>(e.child)], bigEndian_);
                break;
            case Kind::TrailerLink:
                Poke32(out, at + 8, origin_ + layout.trailerPos + e.field, bigEndian_);
                break;
            case Kind::Bytes:
            case Kind::Deferred: {
                std::string bytes = e.kind == Kind::Bytes ? e.bytes : e.make(origin_ + valuePos);
                if (bytes.size() != size)
                    throw std::logic_error("UndefinedAt: the value's length depends on its offset");
                PokeBytes(out, valuePos, bytes);
                if (size > 4) Poke32(out, at + 8, origin_ + valuePos, bigEndian_);
                break;
            }
            }
        }
        uint32_t next = 0;
        if (ifd.next == NextKind::ToIfd) next = origin_ + layout.ifdPos[static_cast<size_t>(ifd.nextIfd)];
        if (ifd.next == NextKind::RawOffset) next = ifd.nextRaw;
        Poke32(out, start + 2 + 12 * n, next, bigEndian_);
    }
    PokeBytes(out, layout.trailerPos, trailer_);
    return out;
}

uint32_t TiffBlock::IfdOffset(int ifd) const {
    At(ifd);
    return origin_ + ComputeLayout().ifdPos[static_cast<size_t>(ifd)];
}

uint32_t TiffBlock::TrailerOffset() const {
    return origin_ + ComputeLayout().trailerPos;
}

int TiffBlock::EntryCount(int ifd) const {
    return static_cast<int>(At(ifd).entries.size());
}

uint32_t TiffBlock::EntryOffset(int ifd, int entryIndex) const {
    if (entryIndex < 0 || entryIndex >= EntryCount(ifd)) throw std::out_of_range("no such entry");
    return IfdOffset(ifd) + 2 + 12 * static_cast<uint32_t>(entryIndex);
}

uint32_t TiffBlock::ValueOffset(int ifd, int entryIndex) const {
    if (entryIndex < 0 || entryIndex >= EntryCount(ifd)) throw std::out_of_range("no such entry");
    return origin_ + ComputeLayout().valuePos[static_cast<size_t>(ifd)][static_cast<size_t>(entryIndex)];
}

uint32_t TiffBlock::ValueOffsetOf(int ifd, uint16_t tag) const {
    const auto& entries = At(ifd).entries;
    for (size_t j = 0; j < entries.size(); ++j)
        if (entries[j].tag == tag) return ValueOffset(ifd, static_cast<int>(j));
    throw std::out_of_range("no entry with that tag");
}

// ---------------------------------------------------------------------------------------------
// Text and section helpers

std::string Utf16Le(std::string_view utf8, bool terminate) {
    std::string out;
    auto put = [&out](uint32_t unit) {
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>((unit >> 8) & 0xFF);
    };
    size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        int extra = 0;
        uint32_t cp = 0xFFFD;
        if (lead < 0x80) {
            cp = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            cp = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            cp = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            cp = lead & 0x07;
        }
        ++i;
        for (int k = 0; k < extra; ++k) {
            if (i >= utf8.size() || (static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80) {
                cp = 0xFFFD;
                break;
            }
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i]) & 0x3F);
            ++i;
        }
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(0xD800 + (cp >> 10));
            put(0xDC00 + (cp & 0x3FF));
        } else {
            put(cp);
        }
    }
    if (terminate) put(0);
    return out;
}

std::string ExifApp1Body(const std::string& tiff) {
    return std::string("Exif\0\0", 6) + tiff;
}

std::string NikonMakerNote(const TiffBlock& inner) {
    return std::string("Nikon\0\x02\x10\0\0", 10) + inner.Build();
}

std::string IptcDatasets(const std::vector<IptcDataset>& datasets) {
    std::string out;
    for (const IptcDataset& d : datasets) {
        if (d.value.size() > 0xFFFF) throw std::length_error("IPTC value longer than 65535 bytes");
        out += '\x1C';
        out += static_cast<char>(d.record);
        out += static_cast<char>(d.dataset);
        out += BigEndian16(static_cast<uint16_t>(d.value.size()));
        out += d.value;
    }
    return out;
}

std::string PhotoshopResource(uint16_t id, const std::string& data, const std::string& name) {
    if (name.size() > 255) throw std::length_error("resource name longer than 255 bytes");
    std::string out = "8BIM" + BigEndian16(id);
    out += static_cast<char>(name.size());
    out += name;
    if ((name.size() + 1) % 2 != 0) out += '\0';
    out += U32(static_cast<uint32_t>(data.size()), true);
    out += data;
    if (data.size() % 2 != 0) out += '\0';
    return out;
}

std::string PhotoshopApp13Body(const std::vector<IptcDataset>& datasets) {
    return std::string("Photoshop 3.0\0", 14) + PhotoshopResource(0x0404, IptcDatasets(datasets));
}

// ---------------------------------------------------------------------------------------------
// Pictures

namespace {

struct Rgb {
    double r = 0, g = 0, b = 0;
};

Rgb Mix(Rgb a, Rgb b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb Hsv(double h, double s, double v) {
    h = h - std::floor(h);
    const double f = h * 6.0;
    const int sector = static_cast<int>(f) % 6;
    const double frac = f - std::floor(f);
    const double p = v * (1 - s), q = v * (1 - s * frac), t = v * (1 - s * (1 - frac));
    switch (sector) {
    case 0:
        return {v * 255, t * 255, p * 255};
    case 1:
        return {q * 255, v * 255, p * 255};
    case 2:
        return {p * 255, v * 255, t * 255};
    case 3:
        return {p * 255, q * 255, v * 255};
    case 4:
        return {t * 255, p * 255, v * 255};
    default:
        return {v * 255, p * 255, q * 255};
    }
}

constexpr double kTau = 2 * std::numbers::pi;

Rgb TestCardPixel(double x, double y, double w, double h) {
    const double m = std::min(w, h);
    // Colour bars along the bottom.
    if (y > h * 0.82) {
        static const Rgb bars[] = {{235, 235, 235}, {235, 235, 16}, {16, 235, 235}, {16, 235, 16},
                                   {235, 16, 235},  {235, 16, 16},  {16, 16, 235},  {16, 16, 16}};
        const int i = std::clamp(static_cast<int>(x / w * 8), 0, 7);
        return bars[i];
    }
    const double cx = w / 2, cy = h * 0.41;
    const double dx = x - cx, dy = y - cy;
    const double d = std::hypot(dx, dy);
    const double radius = m * 0.3;
    const double line = std::max(1.0, m / 300);
    if (std::abs(d - radius) < m * 0.015) return {250, 250, 250};
    if (d < radius) {
        if (std::abs(dx) < line || std::abs(dy) < line) return {20, 20, 20};
        const double angle = std::atan2(dy, dx) / kTau + 0.5;
        return Hsv(angle, d / radius, 1.0);
    }
    const double cell = std::max(w, h) / 16;
    if (std::fmod(x, cell) < line || std::fmod(y, cell) < line) return {200, 200, 200};
    return Hsv(x / w, 0.85, 0.35 + 0.6 * (1 - y / (h * 0.82)));
}

Rgb LandscapePixel(double x, double y, double w, double h) {
    const double u = x / w;
    const double horizon = h * 0.62;
    Rgb sky = Mix({38, 86, 178}, {250, 192, 140}, y / horizon);
    // Sun with a warm glow.
    const double sx = w * 0.72, sy = h * 0.36, sr = h * 0.075;
    const double ds = std::hypot(x - sx, y - sy);
    if (ds < sr)
        sky = {255, 244, 214};
    else
        sky = Mix(sky, {255, 226, 160}, 0.8 * std::exp(-(ds - sr) / (h * 0.12)));

    const double far = h * (0.47 + 0.06 * std::sin(u * kTau * 1.3 + 0.5) +
                            0.035 * std::sin(u * kTau * 3.7 + 1.1) + 0.012 * std::sin(u * kTau * 11.0));
    const double nearRidge =
        h * (0.58 + 0.05 * std::sin(u * kTau * 0.9 + 2.0) + 0.02 * std::sin(u * kTau * 5.3));
    const double meadow = h * (0.72 + 0.03 * std::sin(u * kTau * 0.7 + 0.3));

    // A few dark conifers standing on the meadow, in front of everything else.
    static const double trees[] = {0.08, 0.15, 0.31, 0.55, 0.83, 0.9};
    for (double tx : trees) {
        const double base = h * (0.80 + 0.05 * tx);
        const double top = base - h * 0.16;
        const double half = (y - top) / (base - top) * h * 0.045;
        if (y > top && y < base && std::abs(x - tx * w) < half) return {24, 60, 34};
    }
    if (y >= meadow) {
        const double t = (y - meadow) / (h - meadow);
        Rgb grass = Mix({104, 170, 66}, {36, 96, 30}, t);
        const double stripe = 0.5 + 0.5 * std::sin(x / w * 90 + y / h * 40);
        return Mix(grass, {70, 130, 40}, 0.25 * stripe);
    }
    if (y >= nearRidge) return Mix({58, 78, 112}, {46, 84, 70}, (y - nearRidge) / (meadow - nearRidge));
    if (y >= far) {
        Rgb rock = Mix({118, 108, 160}, {88, 92, 132}, (y - far) / (nearRidge - far));
        const double snowLine = h * (0.452 + 0.008 * std::sin(u * kTau * 23.0));
        if (y < snowLine) rock = Mix({240, 242, 250}, {200, 204, 228}, (y - far) / (h * 0.04)); // snow
        return rock;
    }
    return sky;
}

Rgb FlowerPixel(double x, double y, double w, double h) {
    Rgb bg = Mix({36, 108, 120}, {122, 78, 140}, y / h);
    // Soft out-of-focus discs.
    static const double bokeh[][3] = {
        {0.15, 0.12, 0.08}, {0.82, 0.2, 0.11}, {0.7, 0.75, 0.09}, {0.2, 0.85, 0.07}};
    for (const auto& b : bokeh) {
        const double d = std::hypot(x / w - b[0], y / h - b[1]) / b[2];
        if (d < 1) bg = Mix(bg, {220, 230, 200}, 0.35 * (1 - d * d));
    }
    const double cx = w * 0.5, cy = h * 0.36;
    // Stem and a leaf.
    const double stemX = cx + w * 0.04 * std::sin((y - cy) / h * kTau * 0.8);
    if (y > cy && std::abs(x - stemX) < std::max(1.5, w * 0.012)) bg = {52, 130, 48};
    const double lx = (x - (cx + w * 0.1)) / (w * 0.12), ly = (y - h * 0.7) / (h * 0.035);
    const double rot = 0.5;
    const double ax = lx * std::cos(rot) + ly * std::sin(rot) * 0.3,
                 ay = ly * std::cos(rot) - lx * std::sin(rot) * 3;
    if (ax * ax + ay * ay < 1) bg = Mix({70, 160, 60}, {40, 110, 40}, std::abs(ay));
    // Petals and the seed head.
    const double dx = x - cx, dy = y - cy;
    const double r = std::hypot(dx, dy);
    const double theta = std::atan2(dy, dx);
    const double radius = w * 0.32 * (0.55 + 0.45 * std::abs(std::cos(4 * theta)));
    const double core = w * 0.085;
    if (r < core) {
        const double dots = 0.5 + 0.5 * std::sin(dx / w * 300) * std::sin(dy / w * 300);
        return Mix({250, 196, 40}, {196, 112, 20}, 0.6 * dots + 0.4 * r / core);
    }
    if (r < radius) return Mix({255, 170, 220}, {200, 30, 130}, r / radius);
    return bg;
}

} // namespace

RgbImage DrawPattern(int width, int height, Pattern pattern) {
    if (width <= 0 || height <= 0) throw std::invalid_argument("picture size must be positive");
    RgbImage image;
    image.width = width;
    image.height = height;
    image.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    const double w = width, h = height;
    size_t i = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double px = x + 0.5, py = y + 0.5;
            Rgb c;
            switch (pattern) {
            case Pattern::TestCard:
                c = TestCardPixel(px, py, w, h);
                break;
            case Pattern::Landscape:
                c = LandscapePixel(px, py, w, h);
                break;
            case Pattern::Flower:
                c = FlowerPixel(px, py, w, h);
                break;
            }
            image.pixels[i++] = static_cast<uint8_t>(std::clamp(c.r, 0.0, 255.0));
            image.pixels[i++] = static_cast<uint8_t>(std::clamp(c.g, 0.0, 255.0));
            image.pixels[i++] = static_cast<uint8_t>(std::clamp(c.b, 0.0, 255.0));
        }
    }
    return image;
}

RgbImage Rotated(const RgbImage& image, int quarterTurnsClockwise) {
    const int turns = ((quarterTurnsClockwise % 4) + 4) % 4;
    if (turns == 0) return image;
    const size_t w = static_cast<size_t>(image.width), h = static_cast<size_t>(image.height);
    RgbImage out;
    out.width = turns == 2 ? image.width : image.height;
    out.height = turns == 2 ? image.height : image.width;
    out.pixels.resize(image.pixels.size());
    const size_t ow = static_cast<size_t>(out.width);
    for (size_t y = 0; y < h; ++y) {
        for (size_t x = 0; x < w; ++x) {
            size_t nx = y, ny = w - 1 - x; // three quarter turns
            if (turns == 1) {
                nx = h - 1 - y;
                ny = x;
            } else if (turns == 2) {
                nx = w - 1 - x;
                ny = h - 1 - y;
            }
            std::copy_n(&image.pixels[(y * w + x) * 3], 3, &out.pixels[(ny * ow + nx) * 3]);
        }
    }
    return out;
}

namespace {

// libjpeg reports fatal errors through error_exit, which must not return. Unwinding a C++
// exception through the C library is not safe, so the handler jumps back to the encoder, which
// cleans up and throws from C++ code.
struct JpegErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void OnJpegError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void SilenceJpegMessage(j_common_ptr) {}

// Everything that must survive a longjmp lives here, on the heap, not in automatic variables.
struct EncoderState {
    jpeg_compress_struct cinfo{};
    JpegErrorManager err{};
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    bool created = false;
};

} // namespace

std::string EncodeJpeg(const RgbImage& image, int quality, bool jfifHeader) {
    if (image.width < 1 || image.height < 1 || image.width > 65500 || image.height > 65500)
        throw std::invalid_argument("JPEG size must be within 1..65500");
    if (quality < 1 || quality > 100) throw std::invalid_argument("JPEG quality must be within 1..100");
    if (image.pixels.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 3)
        throw std::invalid_argument("pixel buffer does not match the picture size");

    auto state = std::make_unique<EncoderState>();
    EncoderState* s = state.get();
    s->cinfo.err = jpeg_std_error(&s->err.pub);
    s->err.pub.error_exit = OnJpegError;
    s->err.pub.output_message = SilenceJpegMessage;
    if (setjmp(s->err.jump)) {
        if (s->created) jpeg_destroy_compress(&s->cinfo);
        std::free(s->out);
        throw std::runtime_error(std::string("libjpeg: ") + s->err.message);
    }
    jpeg_create_compress(&s->cinfo);
    s->created = true;
    jpeg_mem_dest(&s->cinfo, &s->out, &s->outSize);
    s->cinfo.image_width = static_cast<JDIMENSION>(image.width);
    s->cinfo.image_height = static_cast<JDIMENSION>(image.height);
    s->cinfo.input_components = 3;
    s->cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&s->cinfo);
    jpeg_set_quality(&s->cinfo, quality, TRUE);
    s->cinfo.write_JFIF_header = jfifHeader ? TRUE : FALSE;
    jpeg_start_compress(&s->cinfo, TRUE);
    const size_t stride = static_cast<size_t>(image.width) * 3;
    while (s->cinfo.next_scanline < s->cinfo.image_height) {
        // libjpeg takes non-const rows but only reads them.
        JSAMPROW row = const_cast<JSAMPLE*>(&image.pixels[s->cinfo.next_scanline * stride]);
        jpeg_write_scanlines(&s->cinfo, &row, 1);
    }
    jpeg_finish_compress(&s->cinfo);
    std::string bytes(reinterpret_cast<const char*>(s->out), s->outSize);
    jpeg_destroy_compress(&s->cinfo);
    std::free(s->out);
    return bytes;
}

std::string EncodeJpeg(int width, int height, int quality, Pattern pattern) {
    if (width < 1 || height < 1 || width > 65500 || height > 65500)
        throw std::invalid_argument("JPEG size must be within 1..65500");
    return EncodeJpeg(DrawPattern(width, height, pattern), quality, true);
}

// ---------------------------------------------------------------------------------------------
// JpegFile

JpegFile& JpegFile::Soi() {
    bytes_ += "\xFF\xD8";
    return *this;
}

JpegFile& JpegFile::Eoi() {
    bytes_ += "\xFF\xD9";
    return *this;
}

JpegFile& JpegFile::Segment(uint8_t marker, const std::string& body) {
    if (body.size() > 0xFFFD) throw std::length_error("JPEG section body longer than 65533 bytes");
    return SegmentWithLength(marker, static_cast<uint16_t>(body.size() + 2), body);
}

JpegFile& JpegFile::SegmentWithLength(uint8_t marker, uint16_t lengthField, const std::string& body) {
    bytes_ += '\xFF';
    bytes_ += static_cast<char>(marker);
    bytes_ += BigEndian16(lengthField);
    bytes_ += body;
    return *this;
}

JpegFile& JpegFile::Exif(const TiffBlock& tiff) {
    return Exif(tiff.Build());
}

JpegFile& JpegFile::Exif(const std::string& tiffBytes) {
    return Segment(0xE1, ExifApp1Body(tiffBytes));
}

JpegFile& JpegFile::Comment(const std::string& text) {
    return Segment(0xFE, text);
}

JpegFile& JpegFile::Jfif() {
    // Identifier, version 1.01, no density unit, 1:1 pixel aspect, no embedded thumbnail.
    return Segment(0xE0, std::string("JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 14));
}

JpegFile& JpegFile::Iptc(const std::vector<IptcDataset>& datasets) {
    return Segment(0xED, PhotoshopApp13Body(datasets));
}

JpegFile& JpegFile::Raw(const std::string& bytes) {
    bytes_ += bytes;
    return *this;
}

JpegFile& JpegFile::Image(int width, int height, int quality, Pattern pattern) {
    return Image(DrawPattern(width, height, pattern), quality);
}

JpegFile& JpegFile::Image(const RgbImage& image, int quality) {
    const std::string stream = EncodeJpeg(image, quality, false);
    // Everything after libjpeg's own SOI: the caller has written the SOI and the sections.
    bytes_.append(stream, 2, std::string::npos);
    return *this;
}

JpegFile& JpegFile::ScanAndEnd() {
    // SOS for one component (id 1, tables 0/0, spectral selection 0..63), a few bytes of
    // entropy-coded data with a stuffed FF 00, then EOI.
    bytes_ += std::string("\xFF\xDA\x00\x08\x01\x01\x00\x00\x3F\x00", 10);
    bytes_ += std::string("\x12\x34\x56\xFF\x00\x78", 6);
    return Eoi();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) throw std::runtime_error("cannot create " + path);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) throw std::runtime_error("cannot write " + path);
}

} // namespace quillmark::craft
