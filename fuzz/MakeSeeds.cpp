// Writes the seed corpora of the fuzz targets: sample photos cut to their header sections, the
// maker notes and APP13 sections found in them (with the maker harness's selector byte), small
// GIFs and encoded JPEG streams.
#include "ExifBuilder.h"
#include "ImgData.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

namespace fs = std::filesystem;
using namespace quillmark;

namespace {

std::string ReadHead(const fs::path& p, size_t limit) {
    std::ifstream in(p, std::ios::binary);
    std::string s(limit, '\0');
    in.read(s.data(), static_cast<std::streamsize>(limit));
    s.resize(static_cast<size_t>(in.gcount()));
    return s;
}

void Write(const fs::path& dir, const std::string& name, const std::string& bytes) {
    fs::create_directories(dir);
    std::ofstream(dir / name, std::ios::binary) << bytes;
}

// The maker harness's selector: low three bits pick the Make, as in FuzzMakerNotes.cpp.
int MakeIndex(const std::string& make) {
    const char* keys[] = {"NIKON", "OLYMP", "CASIO", "FUJIF", "CANON", "SEIKO", "SANYO", "MINOL"};
    std::string key = make.substr(0, 5);
    for (char& c : key) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    for (int i = 0; i < 8; ++i)
        if (key == keys[i]) return i;
    return -1;
}

std::string Gif(int frames) {
    std::string g = "GIF89a";
    g += std::string("\x04\0\x04\0\x80\0\0", 7);
    g += std::string("\0\0\0\xFF\xFF\xFF", 6);
    for (int f = 0; f < frames; ++f) {
        g += std::string("\x21\xF9\x04\x04\x0A\0\0\0", 8);
        g += std::string("\x2C\0\0\0\0\x04\0\x04\0\0", 10);
        g += std::string("\x02\x02\x44\x01\0", 5);
    }
    g += ';';
    return g;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: quillmark-fuzz-seeds OUTDIR PHOTO...\n";
        return 2;
    }
    const fs::path out = argv[1];
    int n = 0;
    for (int i = 2; i < argc; ++i) {
        const fs::path photo = argv[i];
        const std::string head = ReadHead(photo, 70000);
        const std::string name = photo.filename().string();
        const std::string ext = photo.extension().string();
        const bool tiff = ext == ".tif" || ext == ".tiff" || ext == ".TIF" || ext == ".nef";
        Write(out / (tiff ? "fuzz_tiff_reader" : "fuzz_jpeg_reader"), name, tiff ? head.substr(0, 8192) : head);
        TimgData d(255);
        d.ProcessBytes(tiff ? "seed.tif" : "seed.jpg", head);
        if (d.ExifReader && !d.ExifReader->MakerNoteRaw.empty()) {
            const int index = MakeIndex(d.ExifReader->CameraMake);
            if (index >= 0) {
                const bool withVersion = d.ExifReader->ExifVersionText > "0210";
                const char selector =
                    static_cast<char>(index | (withVersion ? 0 : 8) | (d.BigEndian ? 0x80 : 0));
                Write(out / "fuzz_maker_notes", name, selector + d.ExifReader->MakerNoteRaw);
            }
        }
        if (d.IptcSection) Write(out / "fuzz_iptc", name, d.Section(d.IptcSection).Data);
        ++n;
    }
    for (int f = 1; f <= 3; ++f) Write(out / "fuzz_gif_frames", "frames" + std::to_string(f) + ".gif", Gif(f));
    const std::string encoded = craft::EncodeJpeg(16, 16, 75);
    Write(out / "fuzz_writer_skip", "encoded.jpg", encoded.substr(0, 600));
    Write(out / "fuzz_writer_skip", "no-app0.jpg", craft::JpegFile().Soi().Exif(craft::TiffBlock(true)).Bytes());
    std::cout << "seeds from " << n << " photos in " << out.string() << "\n";
    return 0;
}
