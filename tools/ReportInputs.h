// The files the report tool reads, one at a time in a stable order: its arguments, the names listed
// on standard input ("-"), and with -r the photos inside folder arguments: every format of the
// registry, found by their content (by their name when they cannot be read, so that the reason is told).
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace quillmark {

struct TReportInput {
    std::string Path;
    std::string Error; // set when the path is known to be unreadable (a folder that cannot be listed)
};

struct TReportArgument {
    std::string Path;
    bool FromStdin = false; // "-": the names listed on standard input, one per line
};

class TReportInputs {
public:
    // `list` is where "-" reads names from (standard input).
    // With `nulSeparated` the names on standard input end in a NUL byte (as `find -print0` writes
    // them) instead of a line break. Notes (a folder left out for its depth) go to `notes`.
    TReportInputs(std::vector<TReportArgument> arguments, bool recursive, std::FILE* list = stdin,
                  bool nulSeparated = false, std::FILE* notes = stderr);

    // The next file, or nothing at the end. Without -r a folder argument is given as it is (and then
    // fails as a file); with -r its photos come in byte order of their path names, folders included
    // in that order, never through a symbolic link to a folder.
    std::optional<TReportInput> Next();

    // Folders deeper than this below an argument are not entered.
    static constexpr size_t kMaxDepth = 64;
    // A name listed on standard input longer than this is refused (the rest of its line is skipped
    // unread), so that endless input without a line break costs no memory.
    static constexpr size_t kMaxListedName = 4096;

private:
    struct Folder {
        std::string Path;
        std::vector<std::pair<std::string, bool>> Names; // (name, is a folder), sorted
        size_t Next = 0;
    };
    std::optional<TReportInput> OpenFolder(const std::string& path);
    std::optional<TReportInput> NextInFolders();
    // The next name on standard input; false at its end. A name that cannot be a file's is given
    // with `refused` saying why.
    bool NextListedName(std::string& name, std::string& refused);

    std::vector<TReportArgument> Arguments;
    size_t NextArgument = 0;
    bool Recursive;
    std::FILE* List;
    bool NulSeparated;
    std::FILE* Notes;
    bool Listing = false;
    std::vector<Folder> Folders; // the folders being walked, outermost first
};

} // namespace quillmark
