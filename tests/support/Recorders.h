#pragma once

#include "link/KeyInjector.h"

#include <QStringList>

namespace tavlun::test {

// Records the key strings it is asked to type.
class RecordingInjector final : public link::KeyInjector {
public:
    QStringList sent;
    bool succeed = true;

    bool sendKeys(const QString &keyString) override
    {
        sent << keyString;
        return succeed;
    }
};

} // namespace tavlun::test
