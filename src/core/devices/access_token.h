#pragma once

#include <QString>

namespace plenvo {

// The token that a client on another machine shows to use the web page or
// the control protocol on TCP. It is made at first use from 192 random
// bits and kept in a file only the user can read, beside the devices file;
// a new one replaces it, and the clients that showed the old one are shut
// out.
class AccessToken {
public:
    explicit AccessToken(QString path) : path_(std::move(path)) {}
    static AccessToken for_program(const QString& program_dir);

    const QString& path() const { return path_; }
    // The token kept in the file, made first when there is none; empty
    // with `error` set when it can be neither read nor made.
    QString get(QString& error) const;
    // The token in the file as it is, or empty.
    QString read() const;
    // Replaces the token with a new one: the new token, or empty with
    // `error` set.
    QString renew(QString& error) const;

    static QString make();

private:
    QString write(QString& error) const;

    QString path_;
};

}  // namespace plenvo
