// Shared by the codec tests: offering codec folders to the loader and catching trace lines.
#pragma once

#include <string>
#include <vector>

namespace codectest {
// The folder of that name under the test's codec folders ("real", "none", "fake-twolame", ...).
std::string CodecFolder(const std::string& name);
// Only these folders are searched, never the system's.
void OfferOnly(const std::vector<std::string>& folderNames);

// Collects the module's trace lines while alive. Each line is checked for the line format and
// the calling thread's id; Messages() returns the message parts.
class TraceCapture {
public:
    TraceCapture();
    ~TraceCapture();
    std::vector<std::string> Messages() const;
    std::vector<std::string> TakeMessages(); // and forget them
private:
    std::vector<std::string> lines_;
};

// The text the system's libtwolame reports for get_twolame_version / get_twolame_url, read
// straight from the library.
std::string SystemTwoLameText(const char* symbol);
} // namespace codectest
