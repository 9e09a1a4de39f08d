// The picture module: the parts of `convert` that need Qt Gui, loaded only for them. Pictures
// are read through the platform's loaders (QImage-based for now), and previews in the formats
// Qt writes (JPEG, BMP, …) are encoded by Qt; PNG previews are written without it.

#include "app/modules.h"
#include "export/preview_png.h"
#include "pictures/pictures.h"
#include "platform/file_path.h"
#include "platform/frame_set_loader.h"
#include "platform/picture_conversion.h"
#include "platform/picture_loader.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

namespace ravik {
namespace {

// The frame's bytes as the window converts them; other sizes through the plain picture.
std::vector<std::uint8_t> packed(const QImage& picture, const ConversionOptions& options) {
    if (options.size == kFrameBox) {
        const FrameBuffer frame = convertPicture(picture, options).frame;
        return {frame.frame().begin(), frame.frame().end()};
    }
    return convertPacked(pictureOf(picture), options).packed;
}

PictureFrames convertPictureFile(const std::filesystem::path& file,
                                 const ConversionOptions& options, bool allFrames) {
    const QString path = fromFilePath(file);
    PictureFrames converted;
    if (allFrames) {
        const LoadedFrameSet set = LoadFrameSet(path, options);
        if (!set.ok()) {
            converted.failure = set.failure.toStdString();
            return converted;
        }
        for (const QImage& frame : set.frames) {
            converted.pictures.push_back(set.scaled ? convertPacked(*set.scaled, options).packed
                                                    : packed(frame, options));
        }
        converted.delaysMs.assign(set.delaysMs.begin(), set.delaysMs.end());
        return converted;
    }
    const LoadedPicture loaded = loadForFit(path, options);
    if (!loaded.ok()) {
        converted.failure = loaded.failure.toStdString();
        return converted;
    }
    converted.pictures = {loaded.scaled ? convertPacked(*loaded.scaled, options).packed
                                        : packed(loaded.picture, options)};
    converted.delaysMs = {0};
    return converted;
}

WholePictures readPictureFile(const std::filesystem::path& file, bool allFrames) {
    const QString path = fromFilePath(file);
    WholePictures read;
    if (allFrames) {
        // A scaling fit gets whole frames; a still picture comes back scaled and is read again.
        const LoadedFrameSet set = LoadFrameSet(path, {.fit = Fit::Stretch});
        if (!set.ok()) {
            read.failure = set.failure.toStdString();
            return read;
        }
        if (!set.scaled) {
            for (const QImage& frame : set.frames) {
                read.frames.push_back(pictureOf(frame));
            }
            read.delaysMs.assign(set.delaysMs.begin(), set.delaysMs.end());
            return read;
        }
    }
    const LoadedPicture loaded = LoadPicture(path);
    if (!loaded.ok()) {
        read.failure = loaded.failure.toStdString();
        return read;
    }
    read.frames = {pictureOf(loaded.picture)};
    read.delaysMs = {0};
    return read;
}

std::vector<std::string> writableFormats() {
    std::vector<std::string> formats;
    for (const QByteArray& format : QImageWriter::supportedImageFormats()) {
        formats.push_back(format.toStdString());
    }
    return formats;
}

std::optional<std::string> encode(PreviewRows& rows, const std::string& format) {
    QImage picture(rows.width(), rows.height(), QImage::Format_RGB888);
    if (picture.isNull()) {
        return std::nullopt; // too large for a QImage
    }
    for (int y = 0; y < rows.height(); ++y) {
        const auto row = rows.row(y);
        std::memcpy(picture.scanLine(y), row.data(), row.size());
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, QByteArray::fromStdString(format));
    if (!writer.write(picture)) {
        return std::nullopt;
    }
    return bytes.toStdString();
}

constexpr PictureModule kModule{kModuleInterface, convertPictureFile, readPictureFile,
                                writableFormats, encode};

#ifdef _WIN32
// With no application object, Qt looks for its plugins only where it was installed when it was
// built; the Windows edition ships them beside the program (imageformats\), where the window
// finds them through its application object. Without this, animated WebP and the TIFF layouts
// left to Qt could not be read from the command line there.
void findQtPluginsBesideProgram() {
    std::wstring program(MAX_PATH, L'\0');
    DWORD length = 0;
    while ((length = GetModuleFileNameW(nullptr, program.data(), DWORD(program.size()))) ==
           program.size()) {
        program.resize(program.size() * 2);
    }
    program.resize(length);
    QCoreApplication::addLibraryPath(QFileInfo(QString::fromStdWString(program)).absolutePath());
}
#endif

} // namespace
} // namespace ravik

RAVIK_MODULE_EXPORT const ravik::PictureModule* ravik_picture_module() {
#ifdef _WIN32
    ravik::findQtPluginsBesideProgram();
#endif
    return &ravik::kModule;
}
