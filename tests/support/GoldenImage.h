#pragma once

#include <QImage>
#include <QString>

#include <gtest/gtest.h>

namespace tavlun::test {

// Compares what a window shows with the picture of how it should look, kept
// beside the tests. TAVLUN_UPDATE_GOLDEN=1 writes the picture instead (after a
// deliberate change of look; git diff then shows the change).
inline ::testing::AssertionResult looksLike(const QImage &shown, const QString &name)
{
    const QString path = QStringLiteral(TAVLUN_GOLDEN_DIR "/") + name + QStringLiteral(".png");
    const QImage actual = shown.convertToFormat(QImage::Format_RGB32);
    if (qEnvironmentVariable("TAVLUN_UPDATE_GOLDEN") == u"1" ? actual.save(path)
                                                             : actual == QImage(path).convertToFormat(actual.format()))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << name.toStdString() << " does not look like " << path.toStdString()
                                         << " (TAVLUN_UPDATE_GOLDEN=1 rewrites it)";
}

} // namespace tavlun::test
