#pragma once

// What the windows take from the platform, handed in from outside so tests can script it.

namespace ravik {

class Alerts;
class Clipboard;
class ColorDialog;
class FileDialog;
class WindowOpacity;

struct Services {
    FileDialog& fileDialog;
    Alerts& alerts;
    Clipboard& clipboard;
    WindowOpacity& opacity;
    ColorDialog& colorDialog;
};

} // namespace ravik
