#pragma once

// `ravik-lcd runtime DIR`: the firmware runtime's files written into a firmware project's folder.

#include <string>
#include <vector>

namespace ravik {

// Runs `runtime DIR`: writes the firmware runtime's files into DIR (made when missing), all or
// nothing; gives the exit code.
int runRuntime(const std::vector<std::string>& arguments);

// runtime's paragraph of the help, for `ravik-lcd runtime --help`.
std::string runtimeHelp();

} // namespace ravik
