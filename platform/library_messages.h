#pragma once

// Image libraries and Qt's image plugins report what they find odd in a file as English
// messages through Qt's message handler (a broken file can give thousands of them). While a
// SilencedLibraryMessages lives, such messages from its thread are dropped, so the user sees
// only the program's own message about the picture; other threads are not affected.

namespace ravik {

class SilencedLibraryMessages {
public:
    SilencedLibraryMessages();
    ~SilencedLibraryMessages();
    SilencedLibraryMessages(const SilencedLibraryMessages&) = delete;
    SilencedLibraryMessages& operator=(const SilencedLibraryMessages&) = delete;
};

} // namespace ravik
