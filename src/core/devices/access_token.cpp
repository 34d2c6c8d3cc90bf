#include "devices/access_token.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>

#include <array>

#include "devices/settings_file.h"

namespace plenvo {

namespace {

constexpr char kTokenFileName[] = "plenvo-access-token";
// 192 bits, 32 characters of base64url.
constexpr int kTokenWords = 6;

}  // namespace

AccessToken AccessToken::for_program(const QString& program_dir)
{
    const QFileInfo settings(SettingsFile::for_program(program_dir).path());
    return AccessToken(settings.dir().filePath(QString::fromLatin1(kTokenFileName)));
}

QString AccessToken::make()
{
    std::array<quint32, kTokenWords> words{};
    QRandomGenerator::system()->fillRange(words.data(), words.size());
    const QByteArray bytes(reinterpret_cast<const char*>(words.data()), qsizetype(sizeof(words)));
    return QString::fromLatin1(bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

QString AccessToken::read() const
{
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString token = QString::fromLatin1(file.read(256)).trimmed();
    // Anything shorter was not made here, and would be guessed.
    return token.size() >= 22 ? token : QString();
}

QString AccessToken::get(QString& error) const
{
    if (const QString token = read(); !token.isEmpty())
        return token;
    return write(error);
}

QString AccessToken::renew(QString& error) const
{
    return write(error);
}

QString AccessToken::write(QString& error) const
{
    const QString token = make();
    QDir().mkpath(QFileInfo(path_).absolutePath());
    QSaveFile file(path_);
    // Only the user reads it, from the moment it exists.
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(QFile::ReadOwner | QFile::WriteOwner) ||
        file.write(token.toLatin1() + '\n') < 0 || !file.commit()) {
        error = QStringLiteral("%1: cannot keep the access token there (%2)").arg(path_, file.errorString());
        return {};
    }
    return token;
}

}  // namespace plenvo
