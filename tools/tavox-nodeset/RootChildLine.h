#pragma once

#include <cstddef>
#include <string_view>

/// The line (1-based) on which the `position`-th child element of the root element starts
/// (1 for the first child), found by scanning the document's text; 0 when there is no such
/// element. Comments, processing instructions, CDATA sections and the document type
/// declaration are skipped, and quoted attribute values may hold any character. For line
/// numbers that libxml2 no longer records (beyond 65535).
long lineOfRootChild(std::string_view xml, std::size_t position);
