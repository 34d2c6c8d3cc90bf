#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace plenvo {

inline constexpr const char* kSettingsFileName = "plenvo.ini";

// The three lines the panel keeps between runs: the main window's top and
// left in twips, and the serial port number.
class SettingsFile {
public:
    struct Values {
        std::optional<int32_t> win_top;
        std::optional<int32_t> win_left;
        std::optional<int16_t> com_port;
        bool operator==(const Values&) const = default;
    };

    explicit SettingsFile(QString path) : path_(std::move(path)) {}

    // The file in the user's folder of the programs in `program_dir`.
    static SettingsFile for_program(const QString& program_dir);

    const QString& path() const { return path_; }

    // What can be read; a value that is missing, not a number or too large
    // for its type is left empty.
    Values read() const;
    // Replaces the file whole or not at all.
    bool write(int32_t win_top, int32_t win_left, int16_t com_port) const;

    static Values parse(const QByteArray& text);
    static QByteArray format(int32_t win_top, int32_t win_left, int16_t com_port);

private:
    QString path_;
};

}  // namespace plenvo
