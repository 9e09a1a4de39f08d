#pragma once

// Scripted stand-ins for the platform seams, so window tests never block on a modal dialog.

#include "platform/alerts.h"
#include "platform/clipboard.h"
#include "platform/color_dialog.h"
#include "platform/file_dialog.h"
#include "platform/services.h"
#include "platform/window_opacity.h"

#include <QList>
#include <deque>

namespace ravik::testing {

// Answers each ShowOpen/ShowSave with the next scripted answer and records what was offered.
class ScriptedFileDialog final : public FileDialog {
public:
    struct Shown {
        Mode mode;
        QString startPath;
        QStringList nameFilters;
    };

    void answer(const QString& path) { answers_.push_back({false, path}); }
    void cancel() { answers_.push_back({true, QString()}); }

    QList<Shown> shown;
    int unscripted = 0; // shows with no answer left (answered as a cancel)

protected:
    std::optional<QString> choose(Mode mode, const QString& startPath,
                                  const QStringList& nameFilters) override {
        shown.append({mode, startPath, nameFilters});
        if (answers_.empty()) {
            ++unscripted;
            return std::nullopt;
        }
        const Answer next = answers_.front();
        answers_.pop_front();
        if (next.cancelled) {
            return std::nullopt;
        }
        return next.path;
    }

private:
    struct Answer {
        bool cancelled;
        QString path;
    };
    std::deque<Answer> answers_;
};

class RecordingAlerts final : public Alerts {
public:
    struct Warning {
        QString title;
        QString text;
    };
    void warn(const QString& title, const QString& text) override {
        warnings.append({title, text});
    }
    QList<Warning> warnings;
};

class FakeClipboard final : public Clipboard {
public:
    bool SetText(const QString& value) override {
        ++calls;
        if (refuse) {
            return false;
        }
        text = value;
        return true;
    }
    QImage GetImage() const override { return heldImage; }
    QString GetText() const override { return heldText; }
    // What a paste finds, as the test put it there.
    QImage heldImage;
    QString heldText;
    QString text;
    int calls = 0;
    bool refuse = false;
};

// Records every opacity a window is given; available or not as the test says.
class RecordingOpacity final : public WindowOpacity {
public:
    bool available() const override { return supported; }
    void set(QWidget&, int alpha) override { alphas.append(alpha); }
    bool supported = true;
    QList<int> alphas;
};

// Answers each colour choice with the next scripted colour (nothing: cancelled) and records
// the colour each one started from.
class ScriptedColorDialog final : public ColorDialog {
public:
    std::optional<ColorValue> choose(ColorValue current, const QString&, QWidget*) override {
        offered.append(current);
        if (answers.empty()) {
            return std::nullopt;
        }
        const std::optional<ColorValue> next = answers.front();
        answers.pop_front();
        return next;
    }
    std::deque<std::optional<ColorValue>> answers;
    QList<ColorValue> offered;
};

// One of each, as the windows take them.
struct FakePlatform {
    ScriptedFileDialog dialog;
    RecordingAlerts alerts;
    FakeClipboard clipboard;
    RecordingOpacity opacity;
    ScriptedColorDialog colorDialog;
    Services services() { return {dialog, alerts, clipboard, opacity, colorDialog}; }
};

} // namespace ravik::testing
