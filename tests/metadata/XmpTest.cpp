#include "Xmp.h"
#include "IccProfile.h"
#include "PhotoReport.h"
#include "PhotoReportText.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

namespace quillmark {
namespace {

using testing::ReadAll;
using testing::SamplePath;
using testing::TempDir;

std::string Packet(const std::string& descriptionAttrs, const std::string& body) {
    return "<?xpacket begin='\xEF\xBB\xBF' id='W5M0MpCehiHzreSzNTczkc9d'?>"
           "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF "
           "xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>"
           "<rdf:Description rdf:about='' xmlns:dc='http://purl.org/dc/elements/1.1/' "
           "xmlns:xmp='http://ns.adobe.com/xap/1.0/' xmlns:my='http://example.com/my/' "
           "xmlns:ns1='http://iptc.org/std/Iptc4xmpCore/1.0/xmlns/' "
           "xmlns:exif='http://ns.adobe.com/exif/1.0/' " +
           descriptionAttrs + ">" + body + "</rdf:Description></rdf:RDF></x:xmpmeta><?xpacket end='w'?>";
}

// Every property as "name=value|value" ("name=[]" for an empty list), in order.
std::string Flat(const TXmpData& d) {
    std::string s;
    for (const auto& p : d.Properties) {
        if (!s.empty()) s += "; ";
        s += p.Name + "=";
        if (p.IsList && p.Values.empty()) s += "[]";
        for (size_t i = 0; i < p.Values.size(); ++i)
            s += (i ? "|" : "") + p.Values[i];
    }
    return s;
}

TEST(Xmp, ReadsTheFormsRdfWrites) {
    const struct {
        const char* what;
        std::string packet;
        const char* expected;
    } cases[] = {
        {"attributes", Packet("xmp:Rating='3' my:Thing='a&amp;b'", ""), "xmp:Rating=3; my:Thing=a&b"},
        {"elements", Packet("", "<xmp:Rating>4</xmp:Rating><dc:format>image/jpeg</dc:format>"),
         "xmp:Rating=4; dc:format=image/jpeg"},
        {"a namespace's usual prefix, whatever the packet calls it",
         Packet("", "<ns1:Location>Here</ns1:Location>"), "Iptc4xmpCore:Location=Here"},
        {"bag and seq",
         Packet("", "<dc:subject><rdf:Bag><rdf:li>one</rdf:li><rdf:li>two</rdf:li></rdf:Bag></dc:subject>"
                    "<dc:creator><rdf:Seq><rdf:li>Ann</rdf:li></rdf:Seq></dc:creator>"),
         "dc:subject=one|two; dc:creator=Ann"},
        {"language alternatives: the default first",
         Packet("", "<dc:title><rdf:Alt><rdf:li xml:lang='de'>Titel</rdf:li>"
                    "<rdf:li xml:lang='x-default'>Title</rdf:li></rdf:Alt></dc:title>"),
         "dc:title=Title|Titel"},
        {"an empty array", Packet("", "<dc:subject><rdf:Bag/></dc:subject>"), "dc:subject=[]"},
        {"parseType Resource",
         Packet("",
                "<ns1:CreatorContactInfo rdf:parseType='Resource'><ns1:CiEmailWork>a@b.c</ns1:CiEmailWork>"
                "<ns1:CiAdrCity>Oslo</ns1:CiAdrCity></ns1:CreatorContactInfo>"),
         "Iptc4xmpCore:CreatorContactInfo/Iptc4xmpCore:CiEmailWork=a@b.c; "
         "Iptc4xmpCore:CreatorContactInfo/Iptc4xmpCore:CiAdrCity=Oslo"},
        {"a nested description, fields as attributes",
         Packet("", "<exif:Flash><rdf:Description exif:Fired='True' exif:Mode='2'/></exif:Flash>"),
         "exif:Flash/exif:Fired=True; exif:Flash/exif:Mode=2"},
        {"structures in an array: one value per structure",
         Packet("", "<my:Shown><rdf:Bag><rdf:li rdf:parseType='Resource'><my:City>A</my:City></rdf:li>"
                    "<rdf:li><rdf:Description my:City='B'/></rdf:li></rdf:Bag></my:Shown>"),
         "my:Shown/my:City=A|B"},
        {"a qualified value",
         Packet("", "<my:Q><rdf:Description><rdf:value>v</rdf:value></rdf:Description></my:Q>"), "my:Q=v"},
        {"a resource", Packet("", "<my:Link rdf:resource='http://x/'/>"), "my:Link=http://x/"},
        {"an unknown namespace keeps the packet's prefix", Packet("", "<my:a><my:b>deep</my:b></my:a>"),
         "my:a/my:b=deep"},
    };
    for (const auto& c : cases) {
        const TXmpData d = ReadXmp(c.packet);
        EXPECT_EQ(Flat(d), c.expected) << c.what;
        EXPECT_TRUE(d.Notes.empty()) << c.what << ": " << (d.Notes.empty() ? "" : d.Notes.front());
    }
}

TEST(Xmp, HostilePacketsEndQuicklyWithAReason) {
    std::string deep = Packet("", "");
    std::string nest;
    for (int i = 0; i < 1000; ++i)
        nest += "<my:a>";
    deep.insert(deep.find("</rdf:Description>"), nest);
    const std::string laughs =
        "<?xml version='1.0'?><!DOCTYPE lolz [<!ENTITY lol 'lol'>"
        "<!ENTITY lol1 '&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;'>"
        "<!ENTITY lol2 '&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;'>"
        "<!ENTITY lol3 '&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;'>"
        "<!ENTITY lol4 '&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;'>"
        "<!ENTITY lol5 '&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;'>"
        "<!ENTITY lol6 '&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;'>"
        "<!ENTITY lol7 '&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;'>"
        "<!ENTITY lol8 '&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;'>"
        "<!ENTITY lol9 '&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;'>]>"
        "<lolz>&lol9;</lolz>";
    // Generated, never stored: a packet past the limit is refused before any parsing.
    const std::string huge(100u << 20, ' ');
    // Held for the whole loop: the cases only look at it.
    const std::string whole = Packet("xmp:Rating='2'", "<dc:format>x</dc:format>");
    const struct {
        const char* what;
        std::string_view packet;
        const char* note;
    } cases[] = {
        {"1000 levels deep", deep, "XMP packet damaged: elements nested too deep"},
        {"billion laughs", laughs, "XMP packet damaged: a document type declaration is not allowed"},
        {"100 MB", huge, "XMP packet damaged: larger than 16 MB, not read"},
        {"cut short", std::string_view(whole).substr(0, 400),
         "XMP packet damaged: "},
    };
    for (const auto& c : cases) {
        const TXmpData d = ReadXmp(c.packet);
        ASSERT_EQ(d.Notes.size(), 1u) << c.what;
        EXPECT_EQ(d.Notes.front().substr(0, std::string_view(c.note).size()), c.note) << c.what;
    }
    // What a damaged packet held before the damage stays.
    EXPECT_EQ(XmpValue(ReadXmp(Packet("xmp:Rating='2'", "<dc:format>")), "xmp:Rating"), "2");
}

// A JPEG with the main packet in one APP1 and its extension in pieces, the second piece first, plus a
// stray piece of another GUID.
TEST(Xmp, ExtendedXmpJoinedByTheMainPacketsGuid) {
    const std::string guid = "0123456789ABCDEF0123456789ABCDEF";
    const std::string main =
        Packet("", "<xmpNote:HasExtendedXMP xmlns:xmpNote='http://ns.adobe.com/xmp/note/'>" + guid +
                       "</xmpNote:HasExtendedXMP>");
    const std::string extended = Packet("", "<dc:format>" + std::string(200, 'z') + "</dc:format>");
    const auto piece = [&](const std::string& id, size_t offset, size_t length) {
        return std::string(kXmpExtensionSignature) + id + craft::U32(uint32_t(extended.size()), true) +
               craft::U32(uint32_t(offset), true) + extended.substr(offset, length);
    };
    const std::string jpeg = craft::JpegFile()
                                 .Soi()
                                 .Segment(0xE1, std::string(kXmpSignature) + main)
                                 .Segment(0xE1, piece(guid, 100, std::string::npos))
                                 .Segment(0xE1, piece(std::string(32, 'F'), 0, 100))
                                 .Segment(0xE1, piece(guid, 0, 100))
                                 .ScanAndEnd()
                                 .Bytes();
    TimgData data;
    EXPECT_TRUE(data.ProcessBytes("x.jpg", jpeg));
    ASSERT_EQ(data.XmpPackets.size(), 2u);
    EXPECT_EQ(data.XmpPackets[1], extended);
    EXPECT_EQ(XmpValue(ReadPhotoXmp(data), "dc:format"), std::string(200, 'z'));
}

// Real photos, checked against exiftool -G1 -a -s.
TEST(Xmp, SamplePhotos) {
    TimgData data;
    ASSERT_TRUE(data.ProcessBytes("XMP.jpg", ReadAll(SamplePath("XMP.jpg"))));
    TXmpData xmp = ReadPhotoXmp(data);
    EXPECT_EQ(XmpValue(xmp, "dc:creator"), "Phil Harvey");
    EXPECT_EQ(XmpValue(xmp, "dc:description"), "UTF-16 (big-endian) encoded XMP");
    EXPECT_EQ(XmpDisplayText(*FindXmp(xmp, "dc:subject")), "ExifTool, Test, XMP");
    EXPECT_EQ(XmpDisplayText(*FindXmp(xmp, "photoshop:SupplementalCategories")), "amazing, image, utilities");
    EXPECT_EQ(XmpValue(xmp, "xmpBJ:JobRef/stJob:name"), "My Job");
    EXPECT_EQ(XmpValue(xmp, "xmpRights:WebStatement"), "https://exiftool.org/");
    EXPECT_EQ(IccDescription(data.IccProfile), "sRGB IEC61966-2.1");
    const auto icc = ReadIccProfile(data.IccProfile);
    ASSERT_GE(icc.size(), 5u);
    EXPECT_EQ(icc[1].Text, "RGB");
    EXPECT_EQ(icc[2].Text, "Display Device Profile");
    EXPECT_EQ(icc[3].Text, "2.1.0");
    EXPECT_EQ(icc[4].Text, "3144 bytes");

    ASSERT_TRUE(data.ProcessBytes("ExtendedXMP.jpg", ReadAll(SamplePath("ExtendedXMP.jpg"))));
    xmp = ReadPhotoXmp(data);
    EXPECT_EQ(XmpValue(xmp, "xmpNote:HasExtendedXMP"), "04B9E48040A30A6308713BD1E4223B41");
    EXPECT_EQ(XmpValue(xmp, "pdf:Author"), "PhilToo");
    EXPECT_EQ(XmpValue(xmp, "pdf:Title"), "PDF Title");
    EXPECT_EQ(XmpValue(xmp, "pdf:Producer"), "Just ExifTool again");

    data.ProcessBytes("Photoshop.psd", ReadAll(SamplePath("Photoshop.psd")));
    if (!data.XmpPackets.empty()) {
        xmp = ReadPhotoXmp(data);
        EXPECT_EQ(XmpValue(xmp, "dc:description"), "This is a teeny weeny white square");
        EXPECT_EQ(XmpValue(xmp, "photoshop:AuthorsPosition"), "Supreme leader");
        EXPECT_EQ(XmpValue(xmp, "xmpBJ:JobRef/stJob:name"), "This isn't a job");
    }
}

// XMP.xmp as the sidecar of a photo of the same name: its values kept apart and used by the Summary
// where the photo has none.
TEST(Xmp, SidecarBesideThePhoto) {
    TempDir dir;
    const std::string photo = dir.File(
        "XMP.jpg",
        craft::JpegFile().Soi().Exif(craft::TiffBlock(false).Ascii(0, 0x010F, "Acme")).ScanAndEnd().Bytes());
    dir.File("XMP.xmp", ReadAll(SamplePath("XMP.xmp")));
    TimgData data;
    ASSERT_TRUE(data.ProcessFile(photo));
    const TPhotoReport r = BuildPhotoReport(data);
    const TXmpProperty* rights = FindXmp(r.Xmp, "dc:rights");
    ASSERT_NE(rights, nullptr);
    EXPECT_TRUE(rights->Sidecar);
    EXPECT_EQ(XmpDisplayText(*rights),
              "\xC2\xA9 Copyright Phil Harvey, [fr] \xC2\xA9 Droit d'auteur Phil Harvey");
    EXPECT_EQ(XmpValue(r.Xmp, "tiff:Model"), "Canon DIGITAL IXUS 40");
    EXPECT_EQ(XmpValue(r.Xmp, "exif:DateTimeOriginal"), "2005-06-09T20:09:27+02:00");
    EXPECT_EQ(XmpDisplayText(*FindXmp(r.Xmp, "dc:subject")), "test1, &-&amp;-&");
    EXPECT_EQ(XmpValue(r.Xmp, "exif:Flash/exif:Mode"), "2");
    bool listed = false;
    for (const auto& row : r.XmpRows)
        listed = listed || (row.Item == "xmp:Rating (sidecar)" && row.Details == "1");
    EXPECT_TRUE(listed);
    std::map<std::string, std::string> summary;
    for (const auto& row : r.SummaryRows)
        summary[row.Item] = row.Details;
    EXPECT_EQ(summary["Make"], "Acme");
    EXPECT_EQ(summary["Copyright"], "\xC2\xA9 Copyright Phil Harvey");
    EXPECT_EQ(summary["Keywords"], "test1, &-&amp;-&");
    EXPECT_EQ(summary["Rating"], "\u2605\u2606\u2606\u2606\u2606");
}

TEST(Xmp, RatingStars) {
    EXPECT_EQ(RatingStars("3"), "\u2605\u2605\u2605\u2606\u2606");
    EXPECT_EQ(RatingStars("5.0"), "\u2605\u2605\u2605\u2605\u2605");
    EXPECT_EQ(RatingStars("0"), "\u2606\u2606\u2606\u2606\u2606");
    EXPECT_EQ(RatingStars("-1"), "Rejected");
    EXPECT_EQ(RatingStars("7"), "");
    EXPECT_EQ(RatingStars("3.5"), "");
}

} // namespace
} // namespace quillmark

namespace quillmark {
namespace {

// A profile of the given header and one "desc" tag: its description as multiLocalizedUnicodeType.
std::string IccWithMluc(const std::string& text) {
    std::string utf16;
    for (char c : text)
        utf16 += std::string("\0", 1) + c;
    std::string tag = "mluc" + std::string(4, '\0') + craft::U32(1, true) + craft::U32(12, true) + "enUS" +
                      craft::U32(uint32_t(utf16.size()), true) + craft::U32(28, true) + utf16;
    std::string header(128, '\0');
    header.replace(8, 2, "\x04\x30");
    header.replace(12, 8, "mntrRGB ");
    header.replace(36, 4, "acsp");
    std::string profile = header + craft::U32(1, true) + "desc" + craft::U32(128 + 4 + 12, true) +
                          craft::U32(uint32_t(tag.size()), true) + tag;
    profile.replace(0, 4, craft::U32(uint32_t(profile.size()), true));
    return profile;
}

TEST(IccProfile, NamedFromItsHeaderAndDescription) {
    const std::string profile = IccWithMluc("Display P3");
    std::string facts;
    for (const auto& e : ReadIccProfile(profile))
        facts += e.Name + "=" + e.Text + ";";
    EXPECT_EQ(facts, "ProfileDescription=Display P3;ColorSpaceData=RGB;ProfileClass=Display Device Profile;"
                     "ProfileVersion=4.3.0;ProfileSize=" +
                         std::to_string(profile.size()) + " bytes;");
    // Cut anywhere, it never reads outside its bytes.
    for (size_t n = 0; n < profile.size(); ++n)
        (void)ReadIccProfile(std::string_view(profile).substr(0, n));
    EXPECT_EQ(ReadIccProfile("short").front().Text, "Not a readable ICC profile (5 bytes)");

    // In a JPEG: APP2 chunks joined by their sequence numbers, whatever their order.
    const std::string chunk = std::string(kIccSignature);
    const std::string jpeg = craft::JpegFile()
                                 .Soi()
                                 .Segment(0xE2, chunk + "\x02\x02" + profile.substr(100))
                                 .Segment(0xE2, chunk + "\x01\x02" + profile.substr(0, 100))
                                 .Comment("c")
                                 .ScanAndEnd()
                                 .Bytes();
    TimgData data;
    ASSERT_TRUE(data.ProcessBytes("icc.jpg", jpeg));
    EXPECT_EQ(data.IccProfile, profile);
}

// The report tool's JSON: XMP entries of group "XMP", a list as an array; ICC entries of group ICC_Profile.
TEST(Xmp, JsonEntries) {
    const std::string jpeg =
        craft::JpegFile()
            .Soi()
            .Segment(0xE2, std::string(kIccSignature) + "\x01\x01" + IccWithMluc("sRGB"))
            .Segment(0xE1,
                     std::string(kXmpSignature) +
                         Packet("xmp:Rating='4'", "<dc:subject><rdf:Bag><rdf:li>a</rdf:li><rdf:li>b</rdf:li>"
                                                  "</rdf:Bag></dc:subject>"))
            .ScanAndEnd()
            .Bytes();
    TimgData data;
    ASSERT_TRUE(data.ProcessBytes("j.jpg", jpeg));
    const std::string json = RenderReport(data, true, TReportParts::Json).Json;
    EXPECT_NE(
        json.find(R"({"list":3,"tag":0,"name":"xmp:Rating","caption":"xmp:Rating","text":"4","type":null,)"
                  R"("group":"XMP","value":"4"})"),
        std::string::npos)
        << json;
    EXPECT_NE(
        json.find(R"("name":"dc:subject","caption":"dc:subject","text":"a, b","type":null,"group":"XMP",)"
                  R"("value":["a","b"]})"),
        std::string::npos);
    EXPECT_NE(
        json.find(R"("name":"ProfileDescription","caption":"Profile Description","text":"sRGB","type":null,)"
                  R"("group":"ICC_Profile","value":"sRGB"})"),
        std::string::npos);
    const std::string damaged = craft::JpegFile()
                                    .Soi()
                                    .Segment(0xE1, std::string(kXmpSignature) + "<x:xmpmeta>")
                                    .ScanAndEnd()
                                    .Bytes();
    ASSERT_TRUE(data.ProcessBytes("d.jpg", damaged));
    EXPECT_NE(RenderReport(data, true, TReportParts::Json)
                  .Json.find(R"("name":"XMPDamaged","caption":"XMPDamaged","text":"XMP packet damaged: )"),
              std::string::npos);
    EXPECT_NE(json.find("{\"caption\":\"Rating\",\"value\":\"\u2605\u2605\u2605\u2605\u2606\"}"),
              std::string::npos);
}

} // namespace
} // namespace quillmark
