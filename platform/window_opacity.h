#pragma once

// Per-window opacity, where the window system takes it from the program: Windows, X11 (through
// the property that compositing managers honour) and macOS. Elsewhere (Wayland, say) windows are
// simply opaque.

class QWidget;

namespace ravik {

class WindowOpacity {
public:
    virtual ~WindowOpacity() = default;
    virtual bool available() const = 0;
    // alpha runs from 0 (transparent) to 255 (opaque).
    virtual void set(QWidget& window, int alpha) = 0;
};

class QtWindowOpacity final : public WindowOpacity {
public:
    bool available() const override;
    void set(QWidget& window, int alpha) override;
};

} // namespace ravik
