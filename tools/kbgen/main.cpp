// keyrig-kbgen OUTDIR: writes the keyboard pictures and the document of their key regions.
#include <QBuffer>
#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "keyboard_picture.h"
#include "platform/platform.h"

namespace {

bool Fail(const std::string& message) {
    std::fprintf(stderr, "keyrig-kbgen: %s\n", message.c_str());
    return false;
}

bool WriteFile(const std::filesystem::path& path, std::string_view bytes) {
    if (!keyrig::platform::ReplaceFileContents(path, bytes)) {
        return Fail("cannot write " + path.string());
    }
    return true;
}

bool WritePicture(const std::filesystem::path& path, const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        return Fail("cannot encode " + path.string());
    }
    return WriteFile(path, std::string_view(bytes.constData(), bytes.size()));
}

bool WriteAll(const std::filesystem::path& directory) {
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error) {
        return Fail("cannot make the directory " + directory.string() + ": " + error.message());
    }
    std::string problem;
    const std::string document = keyrig::kbgen::CoordinateDocument(problem);
    if (document.empty()) {
        return Fail(problem);
    }
    using keyrig::kbgen::Look;
    using keyrig::kbgen::RenderKeyboard;
    // The "@2x" in the names is how Qt learns, on loading, that the pictures are for a device
    // pixel ratio of 2.
    return WriteFile(directory / "keyboard.xml", document) &&
           WritePicture(directory / "kb_normal@2x.png", RenderKeyboard(Look::Normal)) &&
           WritePicture(directory / "kb_hover@2x.png", RenderKeyboard(Look::Hover)) &&
           WritePicture(directory / "kb_checked@2x.png", RenderKeyboard(Look::Checked)) &&
           WritePicture(directory / "kb_pressed@2x.png", RenderKeyboard(Look::Pressed));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: keyrig-kbgen OUTDIR\n");
        return 2;
    }
    // It runs during the build, where there is no display to connect to.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication application(argc, argv);
    return WriteAll(std::filesystem::path(argv[1])) ? 0 : 1;
}
