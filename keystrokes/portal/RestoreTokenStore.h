#pragma once

#include <QString>

namespace tavlun::keystrokes {

// The desktop portal's restore token, which lets a later start of the
// program type without the desktop asking again. It is the one file the
// program keeps: readable by the user alone, replaced atomically.
class RestoreTokenStore {
public:
    // The token file in `directory`.
    explicit RestoreTokenStore(QString directory);

    // $XDG_STATE_HOME/tavlun, else ~/.local/state/tavlun.
    static QString defaultDirectory();

    QString filePath() const;
    // The stored token, or an empty string.
    QString load() const;
    // Stores the token. False when the file could not be written; *error
    // then says why.
    bool save(const QString &token, QString *error) const;

private:
    QString directory_;
};

} // namespace tavlun::keystrokes
