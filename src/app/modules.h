#pragma once

#include <QLibrary>
#include <QString>

namespace plenvo {

// Where the program's module `file_name` is looked for: beside the
// program, then beside the program's libraries, where the dynamic loader
// found them (the build tree's lib/, or the private folder of an installed
// copy). The first that exists is taken; when none does, the last, so that
// the loader says why.
QString module_path(const QString& file_name);

// The entry point `name` of the module `file_name`, which stays loaded
// until the program ends; nullptr with `error` set to "WHAT cannot start: "
// and the loader's reason, `what` being what the module holds.
template <typename Entry>
Entry module_entry(const QString& file_name, const char* name, const char* what, QString& error)
{
    QLibrary module(module_path(file_name));
    const auto entry = reinterpret_cast<Entry>(module.resolve(name));
    if (!entry)
        error = QLatin1String(what) + QLatin1String(" cannot start: ") + module.errorString();
    return entry;
}

}  // namespace plenvo
