// Why a path named as an input cannot be read, in the same words for every command.
#pragma once

#include <string>

namespace sovahost {
// Empty when path names a file this process can open for reading; otherwise a sentence such as
// "'x.wav' does not exist", "'music' is a folder" or "'x.wav' cannot be read: Permission denied".
std::string InputProblem(const std::string& path);
} // namespace sovahost
