#include "RestoreTokenStore.h"

#include "keystrokes/FailureReason.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace tavlun::keystrokes {

namespace {

constexpr qint64 kLongestToken = 4096;

} // namespace

RestoreTokenStore::RestoreTokenStore(QString directory) : directory_(std::move(directory)) {}

QString RestoreTokenStore::defaultDirectory()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/tavlun");
}

QString RestoreTokenStore::filePath() const
{
    return directory_ + QStringLiteral("/portal-restore-token");
}

QString RestoreTokenStore::load() const
{
    QFile file(filePath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.read(kLongestToken)).trimmed();
}

bool RestoreTokenStore::save(const QString &token, QString *error) const
{
    if (!QDir().mkpath(directory_))
        return failWith(error, QStringLiteral("cannot create %1").arg(directory_), false);
    QFile::setPermissions(directory_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QSaveFile file(filePath());
    if (!file.open(QIODevice::WriteOnly)
        || !file.setPermissions(QFile::ReadOwner | QFile::WriteOwner))
        return failWith(error, QStringLiteral("cannot write %1: %2").arg(filePath(), file.errorString()), false);
    file.write(token.toUtf8() + '\n');
    if (!file.commit())
        return failWith(error, QStringLiteral("cannot write %1: %2").arg(filePath(), file.errorString()), false);
    return true;
}

} // namespace tavlun::keystrokes
