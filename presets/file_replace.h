#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <sys/types.h>

// The file-system steps a replacement can be made to take differently in tests.
struct FileReplaceHooks {
    // Creates and opens a file from a mkstemp-style template, filling in its name; -1 when
    // none can be made.
    std::function<int(std::string& nameTemplate)> makeTemporary;
    // Makes a finished rename in `folder` survive a power cut.
    std::function<void(const std::string& folder)> syncFolder;
};
FileReplaceHooks SystemFileReplaceHooks();

// Replaces the contents of a file, following symbolic links to the file they end at.
// The new contents go to a temporary file beside that file, which takes over its mode
// and owner and is renamed over it only when complete and on disk, so an interrupted
// save never damages it. Where no temporary file can be made (a folder the user may not
// write to), the existing file itself is emptied and rewritten.
class FileReplacement {
public:
    explicit FileReplacement(const std::string& fileName,
                             FileReplaceHooks hooks = SystemFileReplaceHooks());
    ~FileReplacement(); // an unfinished replacement removes its temporary file
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // False when neither a temporary file nor the existing file could be opened.
    bool IsOpen() const { return m_fd >= 0; }
    bool Write(const void* data, std::size_t size);
    // Puts the written contents in place, durably; false when that failed.
    bool Finish();

private:
    void Abandon();

    FileReplaceHooks m_hooks;
    std::string m_target;    // where the link chain ends
    std::string m_temporary; // empty when writing in place
    int m_fd = -1;
    bool m_keepAttributes = false;
    mode_t m_mode = 0;
    uid_t m_owner = 0;
    gid_t m_group = 0;
};
