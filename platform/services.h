#pragma once

// What the windows take from the platform, handed in from outside so tests can script it.

namespace ravik {

class Alerts;
class Clipboard;
class FileDialog;
class WindowOpacity;

struct Services {
    FileDialog& fileDialog;
    Alerts& alerts;
    Clipboard& clipboard;
    WindowOpacity& opacity;
};

} // namespace ravik
