#pragma once

#include <QString>

#include <cstddef>

namespace tavlun::keystrokes {

// For set-up steps that fail with a null or false result and a reason the
// caller may ask for: sets *failureReason to `reason` unless it is null,
// and returns `result`.
//     return failWith(failureReason, QStringLiteral("..."));        // null
//     return failWith(failureReason, QStringLiteral("..."), false);
template <typename Result = std::nullptr_t>
Result failWith(QString *failureReason, const QString &reason, Result result = {})
{
    if (failureReason)
        *failureReason = reason;
    return result;
}

} // namespace tavlun::keystrokes
