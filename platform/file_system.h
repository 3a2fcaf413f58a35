// What the program needs to know about folders and files: what a path names, what a
// folder holds, where it runs, and the places (drives or volumes) that hold folders.
// Paths are UTF-8 bytes; the separator is the system's own.
#pragma once

#include <string>
#include <vector>

namespace platform {

enum class FileKind { None, Folder, File, Other };  // None: missing or out of reach

class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // What `path` names, through any links.
    virtual FileKind kind(const std::string& path) const = 0;
    // The names of the visible entries of `folder` of kind `of` (Folder or File), in no
    // particular order. Throws RuntimeError when the folder cannot be listed.
    virtual std::vector<std::string> list(const std::string& folder, FileKind of) const = 0;
    // True when `folder` can be listed.
    virtual bool listable(const std::string& folder) const = 0;

    // The process's current directory as a full path.
    virtual std::string currentDirectory() const = 0;
    // Where to offer saving before the operator chose a folder: the user's documents
    // folder, else the home folder, else the current directory.
    virtual std::string documentsFolder() const = 0;
    // `path` made full against the current directory, without a trailing separator
    // (except at the top of a place).
    virtual std::string absolute(const std::string& path) const = 0;
    // The folder holding the full path `folder`, "" at the top of its place.
    virtual std::string parent(const std::string& folder) const = 0;
    virtual char separator() const = 0;

    // The places that hold folders: drives, or "/" and mounted volumes.
    virtual std::vector<std::string> places() const = 0;
    // The place that holds the full path `path`.
    virtual std::string placeOf(const std::string& path) const = 0;
    // The place to fall back to when another one fails: "/", or the system's drive.
    virtual std::string homePlace() const = 0;
};

// This machine's file system.
FileSystem& systemFileSystem();

// The folder PORT.DAT names, from the file's bytes, as a path of the program's; and the
// bytes that name `folder` there. On Windows the file is in the system's ANSI code page,
// and one in UTF-8 (a name that code page lacks) loads too, told apart by which folder
// `fs` has; elsewhere the bytes are the path.
std::string settingsFolder(const std::string& bytes, const FileSystem& fs);
std::string settingsBytes(const std::string& folder);

}  // namespace platform
