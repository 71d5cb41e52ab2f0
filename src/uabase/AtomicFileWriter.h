#pragma once

#include <string>

/// Replaces a file only once its new content is complete on disk: the content goes to a
/// temporary file in the target's directory, which is flushed and renamed over the target.
/// A crash or a failed write therefore never leaves a half-written file. An existing target
/// keeps its mode and (where the process may set it) its owner; a symbolic link keeps
/// pointing where it did, and the file it names is replaced.
class AtomicFileWriter {
public:
    /// Creates the temporary file; check isOpen.
    explicit AtomicFileWriter(const std::string& target);
    /// Removes the temporary file unless commit succeeded.
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    /// Where the new content is to be written (by any means, before commit).
    const std::string& tempPath() const { return m_tempPath; }
    /// Appends `content` to the temporary file; false when it could not be written whole.
    [[nodiscard]] bool write(const std::string& content);
    /// Flushes the temporary file, gives it the target's mode and owner and renames it over
    /// the target. False leaves the target untouched.
    [[nodiscard]] bool commit();

private:
    std::string m_target;
    std::string m_tempPath;
    int m_fd = -1;
    bool m_committed = false;
};
