#include "ReportInputs.h"

#include "FileKind.h"
#include "TextEncoding.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

namespace quillmark {

TReportInputs::TReportInputs(std::vector<TReportArgument> arguments, bool recursive, std::FILE* list,
                             bool nulSeparated, std::FILE* notes)
    : Arguments(std::move(arguments)), Recursive(recursive), List(list), NulSeparated(nulSeparated),
      Notes(notes) {}

bool TReportInputs::NextListedName(std::string& name, std::string& refused) {
    name.clear();
    refused.clear();
    const int end = NulSeparated ? '\0' : '\n';
    bool tooLong = false;
    for (int c; (c = std::fgetc(List)) != EOF;) {
        if (c == end) {
            if (!name.empty()) return true;
            continue; // empty lines name nothing
        }
        if (tooLong) continue;
        if (name.size() == kMaxListedName) {
            tooLong = true;
            refused = "Name longer than " + std::to_string(kMaxListedName) + " bytes";
            name.resize(64);
            name += "...";
            continue;
        }
        // No file name holds a NUL byte: the name is refused whole, never cut at it.
        if (c == '\0' && refused.empty()) refused = "Name holds a NUL byte";
        name += static_cast<char>(c);
    }
    return !name.empty();
}

// Lists a folder's entries, sorted so that walking them depth first gives the byte order of the
// whole path names: a folder sorts as its name followed by "/".
std::optional<TReportInput> TReportInputs::OpenFolder(const std::string& path) {
    DIR* dir = ::opendir(path.c_str());
    if (!dir) return TReportInput{path, std::strerror(errno)};
    Folder folder;
    folder.Path = path.ends_with('/') ? path : path + "/";
    int error = 0;
    for (;;) {
        errno = 0;
        const dirent* e = ::readdir(dir);
        if (!e) {
            error = errno;
            break;
        }
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        struct stat st {};
        // lstat: a symbolic link to a folder is not followed, which keeps a loop of links finite.
        if (::lstat((folder.Path + name).c_str(), &st) != 0) continue;
        folder.Names.emplace_back(S_ISDIR(st.st_mode) ? name + "/" : name, S_ISDIR(st.st_mode));
    }
    ::closedir(dir);
    if (error != 0) return TReportInput{path, std::strerror(error)};
    std::sort(folder.Names.begin(), folder.Names.end());
    for (auto& [name, isFolder] : folder.Names)
        if (isFolder) name.pop_back();
    Folders.push_back(std::move(folder));
    return std::nullopt;
}

std::optional<TReportInput> TReportInputs::NextInFolders() {
    while (!Folders.empty()) {
        Folder& f = Folders.back();
        if (f.Next == f.Names.size()) {
            Folders.pop_back();
            continue;
        }
        const auto& [name, isFolder] = f.Names[f.Next++];
        std::string path = f.Path + name;
        if (isFolder) {
            if (Folders.size() >= kMaxDepth) {
                if (Notes)
                    std::fprintf(Notes, "quillmark-report: %s: not entered, deeper than %zu folders\n",
                                 DisplayUtf8(path).c_str(), kMaxDepth);
                continue;
            }
            if (auto failed = OpenFolder(path)) return failed;
            continue;
        }
        // A file that cannot be read is judged by its name, and then reported with the reason.
        if (PhotoFormatOfPath(path)) return TReportInput{std::move(path), {}};
    }
    return std::nullopt;
}

std::optional<TReportInput> TReportInputs::Next() {
    for (;;) {
        if (auto inFolder = NextInFolders()) return inFolder;
        std::string path, refused;
        if (Listing) {
            if (!NextListedName(path, refused)) {
                Listing = false;
                continue;
            }
            if (!refused.empty()) return TReportInput{std::move(path), std::move(refused)};
        } else {
            if (NextArgument == Arguments.size()) return std::nullopt;
            const TReportArgument& a = Arguments[NextArgument++];
            if (a.FromStdin) {
                Listing = true;
                continue;
            }
            path = a.Path;
        }
        struct stat st {};
        if (Recursive && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            if (auto failed = OpenFolder(path)) return failed;
            continue;
        }
        return TReportInput{std::move(path), {}};
    }
}

} // namespace quillmark
