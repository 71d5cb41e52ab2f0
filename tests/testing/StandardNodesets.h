#pragma once

// The standard nodesets that the repository keeps under tests/data/standard-nodesets (the build
// may name another folder with TAVOX_NODESETS_DIR). Nothing here throws: test discovery runs
// every test program while building, so a missing folder must fail the tests that need it,
// with one message, and never stop the listing of the others.

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

/// The full path of a file of the standard nodeset folder.
inline std::string standardNodeset(const std::string& name)
{
    return (std::filesystem::path(TAVOX_NODESETS_DIR) / name).string();
}

/// Every ".xml" file of the folder, sorted; empty when the folder cannot be read.
inline std::vector<std::string> standardNodesetFiles()
{
    std::vector<std::string> files;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(TAVOX_NODESETS_DIR, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->path().extension() == ".xml")
            files.push_back(it->path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

/// Empty when the folder holds the standard nodeset; otherwise the one message that a test
/// needing the folder fails with.
inline std::string missingStandardNodesets()
{
    std::error_code ec;
    if (std::filesystem::is_regular_file(standardNodeset("Opc.Ua.NodeSet2.xml"), ec))
        return {};
    return "The standard nodesets are missing: " + standardNodeset("Opc.Ua.NodeSet2.xml")
        + " is not there. The repository keeps them in tests/data/standard-nodesets; "
          "configure with -DTAVOX_NODESETS_DIR=<folder> to use another copy.";
}
