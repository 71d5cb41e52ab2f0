#pragma once

#include <iosfwd>
#include <string>
#include <vector>

/// The command line of tavox-nodeset (the arguments after the program name):
///   dump FILE   one JSON object per node, in node map order
///   check FILE  a one-line summary of what the file holds
/// A file that does not read gives one line "error text (0xXXXXXXXX)" on `err` (for check,
/// followed by the line of the node element that failed) and the result 1; a bad command
/// line gives the usage and 2.
int runNodesetTool(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);
