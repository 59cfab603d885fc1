#pragma once

#include <QDir>
#include <QImage>
#include <QString>

#include <gtest/gtest.h>

namespace tavlun::test {

// Compares what a window shows with the picture of how it should look,
// kept beside the tests. A difference fails with the number of pixels that
// differ and the first of them; the picture actually shown is written next
// to the build's working directory for a look. TAVLUN_UPDATE_GOLDEN=1
// writes the expected picture instead (after a deliberate change of look).
inline ::testing::AssertionResult looksLike(const QImage &shown, const QString &name)
{
    const QString expectedPath = QStringLiteral(TAVLUN_GOLDEN_DIR "/") + name + QStringLiteral(".png");
    const QImage actual = shown.convertToFormat(QImage::Format_RGB32);
    if (qEnvironmentVariable("TAVLUN_UPDATE_GOLDEN") == u"1") {
        actual.save(expectedPath);
        return ::testing::AssertionSuccess() << "wrote " << expectedPath.toStdString();
    }
    const QImage expected = QImage(expectedPath).convertToFormat(QImage::Format_RGB32);
    const QString actualPath = QDir::current().absoluteFilePath(name + QStringLiteral("-actual.png"));
    if (expected.isNull())
        return ::testing::AssertionFailure() << "no picture " << expectedPath.toStdString();
    if (expected.size() != actual.size()) {
        actual.save(actualPath);
        return ::testing::AssertionFailure()
            << name.toStdString() << ": expected " << expected.width() << "x" << expected.height()
            << " pixels, shown " << actual.width() << "x" << actual.height() << " (see "
            << actualPath.toStdString() << ")";
    }
    int differing = 0;
    QPoint first;
    for (int y = 0; y < actual.height(); ++y)
        for (int x = 0; x < actual.width(); ++x)
            if (actual.pixel(x, y) != expected.pixel(x, y) && differing++ == 0)
                first = {x, y};
    if (differing == 0)
        return ::testing::AssertionSuccess();
    actual.save(actualPath);
    return ::testing::AssertionFailure()
        << name.toStdString() << ": " << differing << " pixels differ, the first at (" << first.x()
        << "," << first.y() << "): expected #" << std::hex << expected.pixel(first) << ", shown #"
        << actual.pixel(first) << std::dec << " (see " << actualPath.toStdString() << ")";
}

} // namespace tavlun::test
