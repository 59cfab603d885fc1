#pragma once

#include <QDir>
#include <QImage>
#include <QString>

#include <gtest/gtest.h>

namespace tavlun::test {

// Compares what a window shows with the picture of how it should look, kept
// beside the tests. On a difference the picture shown is written to the
// working directory for a look. TAVLUN_UPDATE_GOLDEN=1 writes the expected
// picture instead (after a deliberate change of look).
inline ::testing::AssertionResult looksLike(const QImage &shown, const QString &name)
{
    const QString expectedPath = QStringLiteral(TAVLUN_GOLDEN_DIR "/") + name + QStringLiteral(".png");
    const QImage actual = shown.convertToFormat(QImage::Format_RGB32);
    if (qEnvironmentVariable("TAVLUN_UPDATE_GOLDEN") == u"1") {
        actual.save(expectedPath);
        return ::testing::AssertionSuccess();
    }
    if (actual == QImage(expectedPath).convertToFormat(QImage::Format_RGB32))
        return ::testing::AssertionSuccess();
    const QString actualPath = QDir::current().absoluteFilePath(name + QStringLiteral("-actual.png"));
    actual.save(actualPath);
    return ::testing::AssertionFailure() << name.toStdString() << " does not look like " << expectedPath.toStdString()
                                         << ": see " << actualPath.toStdString();
}

} // namespace tavlun::test
