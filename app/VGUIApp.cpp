#include "app/VGUIApp.h"

#include "common/Folders.h"

#include <QCoreApplication>

TUIApp* UIApp = nullptr;

TUIApp::TUIApp(const QString& resourcePath)
    : FResourcePath(resourcePath.isEmpty()
                        ? QCoreApplication::applicationDirPath() + QLatin1String("/resource/")
                        : IncludeTrailingPathDelimiter(resourcePath)) {}

const QImage& TUIApp::Load(std::optional<QImage>& slot, const char* fileName) {
    if (!slot) {
        QImage image(FResourcePath + QLatin1String(fileName));
        // Decoded into a premultiplied form once, so every paint is a plain blit.
        if (!image.isNull())
            image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        slot = std::move(image);
    }
    return *slot;
}

const QImage& TUIApp::GetSelectFlag() {
    return Load(FSelectFlag, "SelectFlag.png");
}

const QImage& TUIApp::GetDeleteFlag() {
    return Load(FDeleteFlag, "DeleteFlag.png");
}
